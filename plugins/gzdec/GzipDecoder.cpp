// The decode loop: read a chunk, inflate it into the output buffer, write what came out. A gzip
// member that ends is followed by another member, by zero padding or by nothing; bytes of any
// other kind after the last member are ignored, as gzip itself does.
#include "GzipDecoder.h"

#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>

#include "archive/ArchiverAbi.h"

namespace toravin::gzdec {
namespace {

constexpr std::size_t kChunkBytes = 64 * 1024;

// The read and write blocks, made once for each thread that decodes: made and freed for every
// page, they were mapped and unmapped, or grew and trimmed the heap, each time.
struct Blocks {
  std::unique_ptr<unsigned char[]> in =
      std::make_unique_for_overwrite<unsigned char[]>(kChunkBytes);
  std::unique_ptr<unsigned char[]> out =
      std::make_unique_for_overwrite<unsigned char[]>(kChunkBytes);
};

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

enum class Format { kGzip, kZlib, kRaw };

Format DetectFormat(const unsigned char* p, std::size_t n) {
  if (n >= 2 && p[0] == 0x1f && p[1] == 0x8b) return Format::kGzip;
  if (n >= 2 && (p[0] & 0x0f) == 8 && (p[0] >> 4) <= 7 && ((p[0] << 8) | p[1]) % 31 == 0) {
    return Format::kZlib;
  }
  return Format::kRaw;
}

int WindowBits(Format f) {
  switch (f) {
    case Format::kGzip:
      return 16 + 15;
    case Format::kZlib:
      return 15;
    case Format::kRaw:
      break;
  }
  return -15;
}

class Inflater {
 public:
  explicit Inflater(int windowBits) { m_ok = inflateInit2(&m_z, windowBits) == Z_OK; }
  ~Inflater() {
    if (m_ok) inflateEnd(&m_z);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ok() const { return m_ok; }
  z_stream& z() { return m_z; }

 private:
  z_stream m_z{};
  bool m_ok = false;
};

DecodeResult Fail(int code, const char* what) {
  DecodeResult r;
  r.code = code;
  r.message = what;
  return r;
}

DecodeResult Run(std::FILE* in, std::FILE* out, std::uint64_t limit, std::uint64_t cut) {
  // Left uninitialised: a small page touches only the first pages of each block.
  static thread_local Blocks blocks;
  const std::span<unsigned char> inBuf(blocks.in.get(), kChunkBytes);
  const std::span<unsigned char> outBuf(blocks.out.get(), kChunkBytes);
  std::size_t have = std::fread(inBuf.data(), 1, inBuf.size(), in);
  if (have == 0) return Fail(abi::kArcTruncated, "gzdec: the input is empty");
  const Format format = DetectFormat(inBuf.data(), have);
  Inflater inflater(WindowBits(format));
  if (!inflater.ok()) return Fail(abi::kArcCorrupt, "gzdec: cannot start the decoder");
  z_stream& z = inflater.z();
  z.next_in = inBuf.data();
  z.avail_in = static_cast<uInt>(have);
  DecodeResult r;
  r.inBytes = have;
  bool inEof = have < inBuf.size();
  bool memberDone = false;
  for (;;) {
    if (z.avail_in == 0 && !inEof) {
      have = std::fread(inBuf.data(), 1, inBuf.size(), in);
      r.inBytes += have;
      inEof = have < inBuf.size();
      z.next_in = inBuf.data();
      z.avail_in = static_cast<uInt>(have);
    }
    if (memberDone) {
      // After a complete stream: another gzip member, zero padding, or the end.
      if (z.avail_in == 0) break;
      if (format != Format::kGzip) break;
      if (z.next_in[0] == 0) {
        ++z.next_in;
        --z.avail_in;
        continue;
      }
      if (z.next_in[0] != 0x1f) break;  // trailing bytes of another kind: ignored
      if (inflateReset(&z) != Z_OK) return Fail(abi::kArcCorrupt, "gzdec: decoder reset failed");
      memberDone = false;
      continue;
    }
    z.next_out = outBuf.data();
    z.avail_out = static_cast<uInt>(outBuf.size());
    int rc = inflate(&z, Z_NO_FLUSH);
    std::size_t produced = outBuf.size() - z.avail_out;
    if (cut > 0 && r.outBytes + produced >= cut) {
      // The page's bound: what lies beyond it is never decoded.
      const std::size_t keep = static_cast<std::size_t>(cut - r.outBytes);
      if (keep > limit - std::min(limit, r.outBytes)) {
        return Fail(abi::kArcTooLarge, "gzdec: the decoded page exceeds the output limit");
      }
      if (std::fwrite(outBuf.data(), 1, keep, out) != keep) {
        return Fail(abi::kArcWrite, "gzdec: cannot write the decoded page");
      }
      r.outBytes = cut;
      return r;
    }
    if (produced > 0) {
      if (r.outBytes + produced > limit) {
        return Fail(abi::kArcTooLarge, "gzdec: the decoded page exceeds the output limit");
      }
      if (std::fwrite(outBuf.data(), 1, produced, out) != produced) {
        return Fail(abi::kArcWrite, "gzdec: cannot write the decoded page");
      }
      r.outBytes += produced;
    }
    if (rc == Z_STREAM_END) {
      memberDone = true;
      continue;
    }
    if (rc != Z_OK && rc != Z_BUF_ERROR) {
      return Fail(abi::kArcCorrupt, "gzdec: the input is not valid compressed data");
    }
    // All input taken, room left in the output and still no end of stream: the input ends early.
    if (z.avail_in == 0 && inEof && z.avail_out != 0) {
      return Fail(abi::kArcTruncated, "gzdec: the input ends early");
    }
  }
  if (std::ferror(in)) return Fail(abi::kArcCannotOpen, "gzdec: cannot read the input");
  return r;
}

std::FILE* OpenFile(const std::string& path, int flags, const char* mode) {
  int fd = ::open(path.c_str(), flags | O_CLOEXEC, 0600);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, mode);
  if (f == nullptr) ::close(fd);
  return f;
}

}  // namespace

DecodeResult DecodeFile(const std::string& inPath, const std::string& outPath,
                        std::uint64_t outputLimit, std::uint64_t cut) {
  // Neither file is reached through a symbolic link, and the output is a new file of our own:
  // an existing file of that name is never truncated or overwritten.
  FilePtr in(OpenFile(inPath, O_RDONLY | O_NOFOLLOW, "rb"));
  if (!in) return Fail(abi::kArcCannotOpen, "gzdec: cannot open the input file");
  FilePtr out(OpenFile(outPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, "wb"));
  if (!out) return Fail(abi::kArcCannotCreate, "gzdec: cannot create the output file");
  DecodeResult r = Run(in.get(), out.get(), outputLimit, cut);
  if (std::fclose(out.release()) != 0 && r.code == 0) {
    r = Fail(abi::kArcWrite, "gzdec: cannot write the decoded page");
  }
  if (r.code != 0) {
    std::remove(outPath.c_str());
    return r;
  }
  r.message = "gzdec: decoded " + std::to_string(r.inBytes) + " bytes into " +
              std::to_string(r.outBytes) + " bytes";
  return r;
}

}  // namespace toravin::gzdec
