// Tressimo: the window.

#include "app/end_signals.h"
#include "app/frm_step1.h"
#include "app/window_services.h"
#include "env/environment.h"
#include "platform/local_time.h"

#include <QApplication>

int main(int argc, char** argv)
{
    tressimo::platform::settleTimeZone();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tressimo"));
    QGuiApplication::setDesktopFileName(QStringLiteral("tressimo"));
    // The window decides when the program ends: closing it during a run first lets the run
    // commit its store.
    QApplication::setQuitOnLastWindowClosed(false);

    tressimo::app::frmStep1 window(tressimo::app::WindowServices::desktop(tressimo::env::systemEnvironment()));
    // Ended from outside (a closed terminal, a logout, kill): as the close box, which saves.
    tressimo::app::EndSignals endSignals([&window] { window.close(); });
    window.show();
    return app.exec();
}
