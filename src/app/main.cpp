// toravin: the desktop program. Finds its settings file, refuses to run twice on the same one,
// opens the main window and runs the event loop until the window closes; a termination signal
// or the session's end closes the window as the user would, so the settings and the pending work
// list are saved.
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QSessionManager>

#include "platform/Cp932.h"
#include "platform/FileSystem.h"
#include "platform/SettingsLocation.h"
#include "ui/MainWindow.h"
#include "ui/QtDialogs.h"
#include "ui/QtText.h"
#include "ui/SignalBridge.h"

using namespace toravin;

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("ToraVin"));
  // No display name: Qt would append it to every window's caption, and captions are exact.
  QApplication::setApplicationVersion(QStringLiteral("1.18.1"));
  QApplication::setDesktopFileName(QStringLiteral("toravin"));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("toravin")));
  QApplication::setFont(GothicFont(12));

  TMainForm::Options options;
  options.iniFileName = SettingsFilePath(ExecutableDirectory());
  InstanceLock lock(options.iniFileName);
  if (lock.Busy()) {
    QMessageBox::warning(nullptr, QtDialogs::ApplicationTitle(),
                         Ui("設定ファイル %1 は、ほかの ToraVin が使っています。\r\n"
                            "ToraVin を同時に二つ起動することはできません。")
                             .arg(FromSjis(options.iniFileName)));
    return 1;
  }

  MainWindow window(std::move(options));
  SignalBridge bridge;
  QObject::connect(&bridge, &SignalBridge::terminationRequested, &window,
                   &MainWindow::requestClose);
  // The session is ending: close as the user would, so nothing is lost.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.requestClose(); });
  window.show();
  return app.exec();
}
