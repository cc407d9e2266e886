#include "dialogs/ConfirmFrm.h"
#include "dialogs/MsgFm.h"
#include "platform/CommandLine.h"
#include "platform/Fonts.h"
#include "shell/MainFm.h"
#include "fetch/HttpsTransfer.h"
#include "update/ProgressFm.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    // The TLS library is chosen while the program is still single-threaded.
    HttpsTransfer::startUp();
    // Sizes are device pixels: no window is rescaled for the screen's resolution.
    if (qEnvironmentVariableIsEmpty("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    // The parameter is ours alone: Qt gets none of the user's arguments, so an option such
    // as -reverse or -platform is just an unknown parameter to us.
    const QStringList parameters = commandLineParameters(argc, argv);
    char fallbackName[] = "tallyaid";
    int qtArgc = 1;
    char* qtArgv[] = {argc > 0 && argv[0] ? argv[0] : fallbackName, nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setApplicationName(QStringLiteral("tallyaid"));
    // The program ends when its main window closes, not when the last visible one does.
    QApplication::setQuitOnLastWindowClosed(false);
    installFontSubstitutes();

    // Four windows, once each and in this order, for the whole run.
    TForm1 Form1(QStringList{QCoreApplication::applicationFilePath()} + parameters);
    TUpdateForm UpdateForm;
    TConfirm Confirm;
    TMessageForm MessageForm;
    Form1.setUpdateForm(&UpdateForm);
    UpdateForm.MessageForm = &MessageForm;
    MessageForm.Confirm = &Confirm;
    QObject::connect(&Form1, &TForm1::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);

    QTimer::singleShot(0, &Form1, &TForm1::start);
    app.exec();
    return 0;
}
