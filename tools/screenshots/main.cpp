// Renders each window and view to PNG files, offscreen, for the README.
// Usage: tallyaid_screenshots OUTPUT_FOLDER (the maker's site comes from TALLYAID_MAKER_SITE).
#include "dialogs/ConfirmFrm.h"
#include "dialogs/MsgFm.h"
#include "platform/Fonts.h"
#include "platform/SystemPlatform.h"
#include "shell/MainFm.h"
#include "update/ProgressFm.h"
#include "widgets/PanelButton.h"
#include "widgets/StyledButton.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QKeyEvent>
#include <QPushButton>
#include <QPainter>
#include <QTest>
#include <QTimer>

namespace {
class DemoPlatform : public SystemPlatform {
public:
    explicit DemoPlatform(const QString& folder) : m_folder(folder) {}
    QString programFolder() const override { return m_folder; }
    void showInformation(QWidget*, const QString&) override {}
    void shellOpenFile(QWidget*, const QString&, const QString&) override {}
    void shellOpenUrl(QWidget*, const QString&) override {}
    void setClipboardText(const QString&) override {}
    void setClipboardContent(const QString&, const QString&) override {}

private:
    QString m_folder;
};

// Opens the update window in a run mode and hands it to `shoot` once it is on screen.
void withUpdateWindow(const QString& mode, const std::function<void(TUpdateForm&)>& shoot) {
    TUpdateForm form;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (!form.isVisible())
            return;
        poll.stop();
        shoot(form);
        form.FCancelled = true;
        form.close();
    });
    poll.start(10);
    form.ShowModalUpdate(mode);
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QDir out(QString::fromLocal8Bit(argv[1]));
    installFontSubstitutes();
    QTemporaryDir folder;
    QFile installed(folder.filePath(QStringLiteral("version.tly")));
    if (installed.open(QIODevice::WriteOnly))
        installed.write("2.70\r\n");
    installed.close();
    DemoPlatform platform(withTrailingSeparator(folder.path()));
    Platform::setCurrent(&platform);

    TForm1 form1({QStringLiteral("tallyaid"), QStringLiteral("HELP")});
    form1.start();
    form1.grab().save(out.filePath(QStringLiteral("instructions.png")));
    form1.hide();

    for (const QString& mode : {QStringLiteral("2"), QStringLiteral("INIT"), QStringLiteral("BDE"), QStringLiteral("TV")})
        withUpdateWindow(mode, [&](TUpdateForm& form) {
            form.grab().save(out.filePath(QStringLiteral("update-%1.png").arg(mode)));
        });
    withUpdateWindow(QStringLiteral("BDE"), [&](TUpdateForm& form) {
        form.ShowProblemInfo(QStringLiteral("setupbd.exe"), ProblemCode::DatabaseEngineFailed);
        form.grab().save(out.filePath(QStringLiteral("problem-view.png")));
    });

    // The flat buttons of the button row in each of their looks, side by side per state.
    withUpdateWindow(QStringLiteral("2"), [&](TUpdateForm& form) {
        QWidget* row = form.findChild<QWidget*>(QStringLiteral("pnl_ButtonContainer"));
        TStyledButton* buttons[] = {form.findChild<TStyledButton*>(QStringLiteral("DownloadBtn")), form.findChild<TStyledButton*>(QStringLiteral("CancelBtn")), form.findChild<TStyledButton*>(QStringLiteral("OtherOptionsBtn"))};
        const QList<QPair<QString, std::function<void(TStyledButton*)>>> states = {
            {QStringLiteral("normal"), [](TStyledButton*) {}},
            {QStringLiteral("hot"), [](TStyledButton* b) { QEnterEvent e({1, 1}, {1, 1}, {1, 1}); QApplication::sendEvent(b, &e); }},
            {QStringLiteral("selected"), [](TStyledButton* b) { b->setFocus(); }},
            {QStringLiteral("pressed"), [](TStyledButton* b) {
                 b->setFocus();
                 QKeyEvent e(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
                 QApplication::sendEvent(b, &e);
             }},
            {QStringLiteral("disabled"), [](TStyledButton* b) { b->setEnabled(false); }},
        };
        for (const auto& state : states) {
            QImage strip(row->width(), row->height() * 3, QImage::Format_RGB32);
            strip.fill(Qt::white);
            QPainter painter(&strip);
            for (int i = 0; i < 3; ++i) {
                state.second(buttons[i]);
                painter.drawImage(0, row->height() * i, row->grab().toImage());
                QKeyEvent release(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" "));
                QSignalBlocker block(buttons[i]);
                QApplication::sendEvent(buttons[i], &release);
                QEvent leave(QEvent::Leave);
                QApplication::sendEvent(buttons[i], &leave);
                buttons[i]->setEnabled(true);
                row->setFocus();
            }
            painter.end();
            strip.save(out.filePath(QStringLiteral("buttons-%1.png").arg(state.first)));
        }
    });

    // The message window: several sections, a separator, Courier New, and the Yes/No set;
    // then the messages of the recovery options.
    TMessageForm message;
    const auto shootMessage = [&](const QString& file, const std::function<int()>& show) {
        QTimer::singleShot(0, [&message, &out, file] {
            message.grab().save(out.filePath(file));
            message.done(1);
        });
        show();
    };
    shootMessage(QStringLiteral("message-sections.png"), [&] {
        return message.ShowModalMessage(
            QStringLiteral("I"), QStringLiteral("YN"), QStringLiteral("Printing payslips"),
            QStringLiteral("Payslips are printed from the Pay Run window. Choose the pay run, then the employees, "
                           "then click Print. A preview is shown first."),
            QStringLiteral("-"), QStringLiteral("Printer set-up"),
            QStringLiteral("Any printer Windows knows can be used.\nThe paper size is taken from the printer."),
            QStringLiteral("-"), QStringLiteral("Layout codes"), QStringLiteral("A4   portrait\nA5   landscape"),
            QStringLiteral("C"), QStringLiteral("Print now?"),
            QStringLiteral("Yes prints the payslips of this pay run now."), {}, {}, {}, {});
    });
    message.SetCustomButtons(QStringLiteral("<< Go Back"), QStringLiteral("Selected Alternative"), QString());
    shootMessage(QStringLiteral("message-other-options.png"), [&] {
        return message.ShowModalMessage1(
            QStringLiteral("IMPORTANT!"), QStringLiteral("CUST"), QStringLiteral("Important:"),
            QStringLiteral("If you have been advised by Orrindale Software Ltd to continue with a special update, "
                           "click the required option below.\n\nOtherwise click \"Go Back\" to return to the "
                           "previous window."));
    });
    withUpdateWindow(QStringLiteral("2"), [&](TUpdateForm& form) {
        form.MessageForm = &message;
        form.ShowProblemInfo(QStringLiteral("twv2up.exe"), ProblemCode::InstallerFailed);
        QTimer::singleShot(0, [&message, &out] {
            message.grab().save(out.filePath(QStringLiteral("message-option2.png")));
            message.done(1);
        });
        form.findChild<QPushButton*>(QStringLiteral("AltDownloadBtn"))->click();
    });

    // The confirmation dialog in each look.
    TConfirm confirm;
    const auto shootConfirm = [&](const QString& file, const QString& keys, const std::function<int()>& ask) {
        QTimer::singleShot(0, [&confirm, &out, file, keys] {
            for (const QChar key : keys)
                QTest::keyClick(&confirm, key.toLatin1());
            confirm.grab().save(out.filePath(file));
            auto* yes = confirm.findChild<TPanelButton*>(QStringLiteral("YesPanelBtn"));
            (yes->isVisible() ? yes : confirm.findChild<TPanelButton*>(QStringLiteral("OKPanelBtn")))->click();
        });
        ask();
    };
    const QString question = QStringLiteral("Copy the payslips of this pay run to the clipboard?");
    for (int type = 1; type <= 4; ++type)
        shootConfirm(QStringLiteral("confirm-type%1.png").arg(type), QString(),
                     [&] { return confirm.YesNo(question, type == 2 ? QStringLiteral("Y") : QString(), type); });
    shootConfirm(QStringLiteral("confirm-custom.png"), QString(), [&] {
        return confirm.CustomYesNoButtons(QStringLiteral("How should the report be sent?"), QStringLiteral("&Print"),
                                          QStringLiteral("&Email"), QStringLiteral("&Save"),
                                          QStringLiteral("Send report"), QString(), true, 9);
    });
    shootConfirm(QStringLiteral("confirm-notice-red.png"), QStringLiteral("qqq"), [&] {
        return confirm.CustomYesNoButtons(QStringLiteral("How should the report be sent?"), QStringLiteral("&Print"),
                                          QStringLiteral("&Email"), QStringLiteral("&Save"),
                                          QStringLiteral("Send report"), QString(), true, 9);
    });
    shootConfirm(QStringLiteral("confirm-ok.png"), QString(), [&] { return confirm.Ok(QStringLiteral("Saved.")); });
    Platform::setCurrent(nullptr);
    return 0;
}
