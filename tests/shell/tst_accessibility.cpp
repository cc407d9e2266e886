// What a screen reader is told about every window and view: each control's role, name and
// whether it shows, read through the same accessibility interfaces the AT-SPI bridge reads.
#include "RecordingPlatform.h"
#include "TestSite.h"
#include "WhenModal.h"
#include "WhenShown.h"
#include "platform/Fonts.h"
#include "shell/MainFm.h"
#include "dialogs/ConfirmFrm.h"
#include "dialogs/MsgFm.h"
#include "update/ProgressFm.h"
#include "widgets/StyledButton.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QtTest>

namespace {
struct Node {
    QAccessible::Role role;
    QString name;
    QAccessible::State state;
    QStringList actions;
};
using Tree = QHash<QString, Node>; // by object name

void walk(QAccessibleInterface* iface, Tree& tree, QStringList& problems) {
    if (!iface || !iface->isValid())
        return;
    const QObject* object = iface->object();
    const QAccessible::State state = iface->state();
    Node node{iface->role(), iface->text(QAccessible::Name), state,
              iface->actionInterface() ? iface->actionInterface()->actionNames() : QStringList()};
    const QString name = object ? object->objectName() : QString();
    if (!name.isEmpty())
        tree.insert(name, node);
    // Whatever the keyboard can reach must say what it is and what it is called.
    if (!state.invisible && state.focusable) {
        if (node.role == QAccessible::Client || node.name.isEmpty())
            problems << QStringLiteral("%1: a nameless filler").arg(name);
        if (node.role == QAccessible::Button && !node.actions.contains(QAccessibleActionInterface::pressAction()))
            problems << QStringLiteral("%1: no press action").arg(name);
    }
    for (int i = 0; i < iface->childCount(); ++i)
        walk(iface->child(i), tree, problems);
}

Tree treeOf(QWidget* window) {
    Tree tree;
    QStringList problems;
    walk(QAccessible::queryAccessibleInterface(window), tree, problems);
    if (!problems.isEmpty())
        qWarning() << problems;
    tree.insert(QStringLiteral("<problems>"), Node{QAccessible::NoRole, problems.join(u'\n'), {}, {}});
    return tree;
}
} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT
    TestSite* site = nullptr;
    QHash<QString, Tree> views;

private slots:
    void initTestCase() {
        installFontSubstitutes();
        site = new TestSite;
        QVERIFY(site->isReady());
        site->publish(QStringLiteral("twv2.vn"), "2.74\r\n-\r\ntwv2up.exe\r\n");
        PlatformScope scope;
        {
            TForm1 form({QStringLiteral("tallyaid"), QStringLiteral("HELP")});
            form.start();
            views.insert(QStringLiteral("instructions"), treeOf(&form));
            form.close();
        }
        for (const QString& mode : {runModeText(RunModeCode::UpdateV2), runModeText(RunModeCode::DatabaseEngine)}) {
            TUpdateForm form;
            whenShown(&form, [&] {
                views.insert(mode, treeOf(&form));
                form.ShowProblemInfo(QString(), ProblemCode::InstallerFailed);
                views.insert(QStringLiteral("problem"), treeOf(&form));
                form.close();
            });
            form.ShowModalUpdate(mode);
        }
    }
    void cleanupTestCase() { delete site; }

    void messageWindowView() {
        TMessageForm message;
        whenModal<TMessageForm>([&](TMessageForm* m) {
            views.insert(QStringLiteral("message"), treeOf(m));
            m->done(1);
        });
        message.ShowModalMessage1(QStringLiteral("C"), QStringLiteral("YN"), QString(), QStringLiteral("Go on?"));
        QVERIFY(views.contains(QStringLiteral("message")));
    }

    void confirmationView() {
        TConfirm confirm;
        whenModal<TConfirm>([&](TConfirm* c) {
            views.insert(QStringLiteral("confirm"), treeOf(c));
            QTest::keyClick(c, 'y');
        });
        QCOMPARE(confirm.YesNo(QStringLiteral("Copy now?"), QStringLiteral("Y"), 2), 6);
        const Tree& tree = views[QStringLiteral("confirm")];
        QVERIFY2(tree.value(QStringLiteral("YesPanelBtn")).state.defaultButton, "Yes is announced as the default");
        QVERIFY(!tree.value(QStringLiteral("NoPanelBtn")).state.defaultButton);
        QVERIFY(tree.value(QStringLiteral("NoPanelBtn")).actions.contains(QAccessibleActionInterface::pressAction()));
    }

    void everyReachableControlHasARoleAndAName_data() {
        QTest::addColumn<QString>("view");
        for (const char* view : {"instructions", "2", "BDE", "problem", "message", "confirm"})
            QTest::newRow(view) << QString::fromLatin1(view);
    }
    void everyReachableControlHasARoleAndAName() {
        QFETCH(QString, view);
        QVERIFY(views.contains(view));
        QCOMPARE(views[view].value(QStringLiteral("<problems>")).name, QString());
    }

    void controls_data() {
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("showing");
        const int button = QAccessible::Button, text = QAccessible::StaticText;
        QTest::newRow("instructions heading") << "instructions" << "Label2" << text << "Instructions" << true;
        QTest::newRow("usage text, named by its heading")
            << "instructions" << "Memo1" << int(QAccessible::EditableText) << "Instructions" << true;
        QTest::newRow("instructions close") << "instructions" << "CloseBtn" << button << "Close" << true;
        QTest::newRow("download") << runModeText(RunModeCode::UpdateV2) << "DownloadBtn" << button << "Download Now..." << true;
        QTest::newRow("cancel") << runModeText(RunModeCode::UpdateV2) << "CancelBtn" << button << "Cancel" << true;
        QTest::newRow("other options") << runModeText(RunModeCode::UpdateV2) << "OtherOptionsBtn" << button << "Other Options..." << true;
        QTest::newRow("status line") << runModeText(RunModeCode::UpdateV2) << "StatusLabel1" << text << "NEW UPDATE AVAILABLE!" << true;
        QTest::newRow("check button hidden") << runModeText(RunModeCode::UpdateV2) << "CheckForUpdatesBtn" << button << "Check For Updates..." << false;
        QTest::newRow("BDE download") << runModeText(RunModeCode::DatabaseEngine) << "DownloadOtherButton" << button << "Download Now..." << true;
        QTest::newRow("BDE flat download hidden") << runModeText(RunModeCode::DatabaseEngine) << "DownloadBtn" << button << "Download Now..." << false;
        QTest::newRow("BDE no other options") << runModeText(RunModeCode::DatabaseEngine) << "OtherOptionsBtn" << button << "Other Options..." << false;
        QTest::newRow("BDE status") << runModeText(RunModeCode::DatabaseEngine) << "StatusLabel4" << text << "(BDE)" << true;
        QTest::newRow("problem code")
            << "problem" << "InfoStringLabel" << text
            << "There was a problem downloading the file. (Code: 300)\n\nPlease try the options below in order." << true;
        QTest::newRow("option 1") << "problem" << "CloseBtn" << button << "Option 1: Close this and try again" << true;
        QTest::newRow("option 2") << "problem" << "AltDownloadBtn" << button << "Option 2: Alternative Download" << true;
        QTest::newRow("option 3") << "problem" << "ManualDownloadBtn" << button << "Option 3: Manual Download" << true;
        QTest::newRow("message title") << "message" << "TopPanelLineAndTitle" << text << "  CONFIRM" << true;
        QTest::newRow("message heading") << "message" << "heading1" << text << "Confirm" << true;
        QTest::newRow("message text") << "message" << "Label1" << text << "Go on?" << true;
        QTest::newRow("message yes") << "message" << "YesPnlBtn" << button << "Yes" << true;
        QTest::newRow("message no") << "message" << "NoPnlBtn" << button << "No" << true;
        QTest::newRow("message ok hidden") << "message" << "OKPnlBtn" << button << "OK" << false;
        QTest::newRow("message close box") << "message" << "RedXPanel" << button << "close" << true;
        QTest::newRow("message copy") << "message" << "CopyToClipboardPanel" << button << "copy to clipboard" << true;
        QTest::newRow("confirm title") << "confirm" << "TopPanelLineAndTitle" << text << "  Confirm..." << true;
        QTest::newRow("confirm text") << "confirm" << "MessageLabel" << text << "Copy now?\n" << true;
        QTest::newRow("confirm yes") << "confirm" << "YesPanelBtn" << button << "Yes" << true;
        QTest::newRow("confirm no") << "confirm" << "NoPanelBtn" << button << "No" << true;
        QTest::newRow("confirm ok hidden") << "confirm" << "OKPanelBtn" << button << "OK" << false;
        QTest::newRow("problem hides buttons") << "problem" << "CancelBtn" << button << "Cancel" << false;
    }
    void controls() {
        QFETCH(QString, view);
        QFETCH(QString, control);
        QFETCH(int, role);
        QFETCH(QString, name);
        QFETCH(bool, showing);
        QVERIFY2(views[view].contains(control), qPrintable(control + " is missing from the tree"));
        const Node node = views[view].value(control);
        QCOMPARE(int(node.role), role);
        QCOMPARE(node.name, name);
        QCOMPARE(!node.state.invisible, showing);
    }

    void flatButtonTellsItsStatesAndCanBePressed() {
        QWidget window;
        auto* button = new TStyledButton(&window);
        button->setCaption(QStringLiteral("&Yes && no"));
        button->setToolTip(QStringLiteral("a hint"));
        button->setDefault(true);
        window.show();
        QApplication::setActiveWindow(&window);
        QVERIFY(QTest::qWaitForWindowActive(&window));
        int clicks = 0;
        connect(button, &TStyledButton::clicked, [&] { ++clicks; });
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(button);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Yes & no"));
        QCOMPARE(iface->text(QAccessible::Description), QStringLiteral("a hint"));
        QVERIFY(iface->state().defaultButton && iface->state().focusable && !iface->state().pressed);

        button->setFocus();
        QTest::mousePress(button, Qt::LeftButton);
        QVERIFY(iface->state().pressed && iface->state().focused);
        QTest::mouseRelease(button, Qt::LeftButton);
        QCOMPARE(clicks, 1);

        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks, 2);
        button->setEnabled(false);
        QVERIFY(iface->state().disabled);
        iface->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(clicks, 2); // a disabled button does nothing
        button->setDefault(false);
        QVERIFY(!iface->state().defaultButton);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "tst_accessibility.moc"
