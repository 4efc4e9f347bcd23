// The match finder keeps, for each 3-byte hash, the newest position and, for every position of
// the window, the previous one with the same hash; chains are cut where they leave the window.
// Tokens are buffered per block; a full block is measured, its three code tables are built and
// written, then its tokens.
#include "Lh5Encoder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "BitWriter.h"
#include "HuffmanCode.h"

namespace toravin::lha {
namespace {

constexpr int kWindow = 8192;  // -lh5- dictionary size
constexpr int kMaxDistance = kWindow - 1;
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 256;
constexpr int kNC = 256 + kMaxMatch - kMinMatch + 1;  // literals and match lengths: 510
constexpr int kNP = 14;                               // position classes: 0 and bit lengths 1..13
constexpr int kNT = 19;                               // code-length code symbols
constexpr int kCBit = 9;
constexpr int kPBit = 4;
constexpr int kTBit = 5;
constexpr int kHashBits = 15;
constexpr std::uint32_t kNone = 0;  // chain links hold position + 1

inline std::uint32_t Hash3(const unsigned char* p) {
  std::uint32_t v = (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
  return (v * 2654435761u) >> (32 - kHashBits);
}

inline int BitLength(unsigned v) {
  int n = 0;
  while (v != 0) {
    ++n;
    v >>= 1;
  }
  return n;
}

struct Token {
  std::uint16_t c;  // literal byte, or 256 + length - 3
  std::uint16_t p;  // distance - 1 for a match
};

class BlockWriter {
 public:
  explicit BlockWriter(BitWriter& bits) : m_bits(bits) {}

  void Write(const std::vector<Token>& tokens) {
    std::vector<std::uint32_t> cFreq(kNC, 0), pFreq(kNP, 0);
    for (const Token& t : tokens) {
      ++cFreq[t.c];
      if (t.c >= 256) ++pFreq[BitLength(t.p)];
    }
    HuffmanCode c = HuffmanCode::Build(cFreq);
    HuffmanCode p = HuffmanCode::Build(pFreq);
    m_bits.Put(16, static_cast<std::uint32_t>(tokens.size()));
    if (c.used == 1) {
      m_bits.Put(kTBit, 0);
      m_bits.Put(kTBit, 0);
      m_bits.Put(kCBit, 0);
      m_bits.Put(kCBit, static_cast<std::uint32_t>(c.onlySymbol));
    } else {
      HuffmanCode t = HuffmanCode::Build(CodeLengthFrequencies(c.lengths));
      WriteTableLengths(t, kNT, kTBit, 3);
      WriteCodeLengths(c, t);
    }
    if (p.used <= 1) {
      m_bits.Put(kPBit, 0);
      m_bits.Put(kPBit, static_cast<std::uint32_t>(std::max(p.onlySymbol, 0)));
    } else {
      WriteTableLengths(p, kNP, kPBit, -1);
    }
    for (const Token& tok : tokens) {
      if (c.used > 1) m_bits.Put(c.lengths[tok.c], c.codes[tok.c]);
      if (tok.c < 256) continue;
      int cls = BitLength(tok.p);
      if (p.used > 1) m_bits.Put(p.lengths[cls], p.codes[cls]);
      if (cls > 1) m_bits.Put(cls - 1, tok.p & ((1u << (cls - 1)) - 1));
    }
  }

 private:
  static int TrimmedCount(const std::vector<std::uint8_t>& lengths, int n) {
    while (n > 0 && lengths[n - 1] == 0) --n;
    return n;
  }

  // Frequencies of the code-length code: 0 = one or two zero lengths, 1 = 3..18 zeros (4 more
  // bits), 2 = 20 or more zeros (9 more bits), k + 2 = length k.
  static std::vector<std::uint32_t> CodeLengthFrequencies(const std::vector<std::uint8_t>& len) {
    std::vector<std::uint32_t> freq(kNT, 0);
    const int n = TrimmedCount(len, kNC);
    for (int i = 0; i < n;) {
      int k = len[i++];
      if (k != 0) {
        ++freq[k + 2];
        continue;
      }
      int run = 1;
      while (i < n && len[i] == 0) {
        ++i;
        ++run;
      }
      if (run <= 2) {
        freq[0] += run;
      } else if (run <= 18) {
        ++freq[1];
      } else if (run == 19) {
        ++freq[0];
        ++freq[1];
      } else {
        ++freq[2];
      }
    }
    return freq;
  }

  // A table's own lengths: 3 bits for 0..6, longer ones as a run of ones ended by a zero. The
  // code-length table has a 2-bit count of skipped zero lengths after its third entry.
  void WriteTableLengths(const HuffmanCode& t, int nMax, int nBits, int special) {
    if (t.used == 1) {
      m_bits.Put(nBits, 0);
      m_bits.Put(nBits, static_cast<std::uint32_t>(t.onlySymbol));
      return;
    }
    const int n = TrimmedCount(t.lengths, nMax);
    m_bits.Put(nBits, static_cast<std::uint32_t>(n));
    int i = 0;
    while (i < n) {
      int k = t.lengths[i++];
      if (k <= 6) {
        m_bits.Put(3, static_cast<std::uint32_t>(k));
      } else {
        m_bits.Put(k - 3, (1u << (k - 3)) - 2);
      }
      if (i == special) {
        while (i < 6 && t.lengths[i] == 0) ++i;
        m_bits.Put(2, static_cast<std::uint32_t>((i - 3) & 3));
      }
    }
  }

  void PutT(const HuffmanCode& t, int sym) {
    if (t.used > 1) m_bits.Put(t.lengths[sym], t.codes[sym]);
  }

  void WriteCodeLengths(const HuffmanCode& c, const HuffmanCode& t) {
    const int n = TrimmedCount(c.lengths, kNC);
    m_bits.Put(kCBit, static_cast<std::uint32_t>(n));
    for (int i = 0; i < n;) {
      int k = c.lengths[i++];
      if (k != 0) {
        PutT(t, k + 2);
        continue;
      }
      int run = 1;
      while (i < n && c.lengths[i] == 0) {
        ++i;
        ++run;
      }
      if (run <= 2) {
        for (int r = 0; r < run; ++r) PutT(t, 0);
      } else if (run <= 18) {
        PutT(t, 1);
        m_bits.Put(4, static_cast<std::uint32_t>(run - 3));
      } else if (run == 19) {
        PutT(t, 0);
        PutT(t, 1);
        m_bits.Put(4, 15);
      } else {
        PutT(t, 2);
        m_bits.Put(kCBit, static_cast<std::uint32_t>(run - 20));
      }
    }
  }

  BitWriter& m_bits;
};

class MatchFinder {
 public:
  MatchFinder(const unsigned char* data, std::size_t size, const Lh5Params& params)
      : m_data(data),
        m_size(size),
        m_params(params),
        m_head(1u << kHashBits, kNone),
        m_prev(kWindow, kNone) {}

  void Insert(std::size_t pos, std::uint32_t h) {
    m_prev[pos & (kWindow - 1)] = m_head[h];
    m_head[h] = static_cast<std::uint32_t>(pos + 1);
  }
  void Insert(std::size_t pos) {
    if (pos + kMinMatch <= m_size) Insert(pos, Hash3(m_data + pos));
  }

  // The longest match at `pos` longer than `prevLength` (0 when none is), its distance in `dist`.
  int Longest(std::size_t pos, std::uint32_t h, int prevLength, int& dist) const {
    const int limit = static_cast<int>(std::min<std::size_t>(kMaxMatch, m_size - pos));
    int best = std::max(prevLength, kMinMatch - 1);
    if (limit <= best) return 0;
    int chain = m_params.maxChain;
    if (prevLength >= m_params.goodLength) chain >>= 2;
    const unsigned char* cur = m_data + pos;
    int found = 0;
    std::uint32_t link = m_head[h];
    while (link != kNone && chain-- > 0) {
      std::size_t cand = link - 1;
      std::size_t d = pos - cand;
      if (d > static_cast<std::size_t>(kMaxDistance)) break;
      const unsigned char* c = m_data + cand;
      if (c[best] == cur[best] && c[0] == cur[0] && c[1] == cur[1]) {
        int len = MatchLength(c, cur, limit);
        if (len > best) {
          best = len;
          found = len;
          dist = static_cast<int>(d);
          if (len >= m_params.niceLength || len >= limit) break;
        }
      }
      link = m_prev[cand & (kWindow - 1)];
    }
    return found;
  }

 private:
  static int MatchLength(const unsigned char* a, const unsigned char* b, int limit) {
    int len = 0;
    while (len + 8 <= limit) {
      std::uint64_t x, y;
      std::memcpy(&x, a + len, 8);
      std::memcpy(&y, b + len, 8);
      if (x != y) return len + (__builtin_ctzll(x ^ y) >> 3);
      len += 8;
    }
    while (len < limit && a[len] == b[len]) ++len;
    return len;
  }

  const unsigned char* m_data;
  std::size_t m_size;
  const Lh5Params& m_params;
  std::vector<std::uint32_t> m_head;
  std::vector<std::uint32_t> m_prev;
};

}  // namespace

bool EncodeLh5To(const unsigned char* data, std::size_t size,
                 const std::function<bool(std::string_view)>& drain, std::size_t cap,
                 std::size_t piece, const Lh5Params& params) {
  // Whole bytes wait in `out` until a piece is full; the bit writer keeps the partial ones.
  std::string out;
  std::size_t drained = 0;
  auto pass = [&] {
    if (!drain(out)) return false;
    drained += out.size();
    out.clear();
    return true;
  };
  BitWriter bits(out);
  BlockWriter blocks(bits);
  MatchFinder finder(data, size, params);
  const std::size_t blockTokens =
      static_cast<std::size_t>(std::clamp(params.blockTokens, 1, 65535));
  std::vector<Token> tokens;
  tokens.reserve(blockTokens);
  auto emit = [&](Token t) -> bool {
    tokens.push_back(t);
    if (tokens.size() < blockTokens) return true;
    blocks.Write(tokens);
    tokens.clear();
    if (drained + bits.size() >= cap) return false;
    return out.size() < piece || pass();
  };

  std::size_t pos = 0;
  bool pending = false;  // a literal or match starting at pos - 1 is not yet emitted
  int prevLen = 0;
  int prevDist = 0;
  bool ok = true;
  while (pos < size && ok) {
    int curLen = 0;
    int curDist = 0;
    if (pos + kMinMatch <= size) {
      std::uint32_t h = Hash3(data + pos);
      if (!pending || prevLen < params.maxLazy) {
        curLen = finder.Longest(pos, h, pending ? prevLen : 0, curDist);
        if (curLen == kMinMatch && curDist > params.tooFar) curLen = 0;
      }
      finder.Insert(pos, h);
    }
    if (pending && prevLen >= kMinMatch && curLen <= prevLen) {
      ok = emit({static_cast<std::uint16_t>(256 + prevLen - kMinMatch),
                 static_cast<std::uint16_t>(prevDist - 1)});
      std::size_t end = pos - 1 + static_cast<std::size_t>(prevLen);
      for (std::size_t q = pos + 1; q < end; ++q) finder.Insert(q);
      pos = end;
      pending = false;
      prevLen = 0;
      continue;
    }
    if (pending) ok = emit({data[pos - 1], 0});
    pending = true;
    prevLen = curLen;
    prevDist = curDist;
    ++pos;
  }
  if (ok && pending) ok = emit({data[pos - 1], 0});
  if (ok && !tokens.empty()) blocks.Write(tokens);
  bits.Flush();
  if (!ok || drained + out.size() >= cap) return false;
  return out.empty() || pass();
}

}  // namespace toravin::lha
