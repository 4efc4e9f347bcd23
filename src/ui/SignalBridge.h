// Turns SIGTERM, SIGINT and SIGHUP (the session ending, Ctrl+C, a closed terminal) into a Qt
// signal on the UI thread: the handler only writes a byte into a socket pair, and a notifier on
// the other end emits `terminationRequested`, where the window can close down properly.
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>

namespace toravin {

class SignalBridge : public QObject {
  Q_OBJECT

 public:
  explicit SignalBridge(QObject* parent = nullptr);
  ~SignalBridge() override;

 signals:
  void terminationRequested();

 private:
  std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace toravin
