#include "dialogs/ConfirmFrm.h"
#include "dialogs/MsgFm.h"
#include "platform/Fonts.h"
#include "shell/MainFm.h"
#include "update/ProgressFm.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    // Sizes are device pixels: no window is rescaled for the screen's resolution.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tallyaid"));
    // The program ends when its main window closes, not when the last visible one does.
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutes();

    // Four windows, once each and in this order, for the whole run.
    TForm1 Form1(QApplication::arguments());
    TUpdateForm UpdateForm;
    TConfirm Confirm;
    TMessageForm MessageForm;
    Form1.setUpdateForm(&UpdateForm);
    QObject::connect(&Form1, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QTimer::singleShot(0, &Form1, &TForm1::start);
    app.exec();
    return 0;
}
