#pragma once

#include <QWidget>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class TUpdateForm;

// The instructions window, the program's main window. It turns the first parameter into
// a run-mode code and either hands it to the update window or shows the usage text.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(const QStringList& arguments, QWidget* parent = nullptr);

    void setUpdateForm(TUpdateForm* updateForm) { m_updateForm = updateForm; }
    // Starts the window as the event loop would show it: in a run mode it never appears.
    void start();

    const QString& parameter() const { return m_parameter; }
    const QString& runMode() const { return m_runMode; }

    QLabel* Label1;
    QLabel* Label2;
    QPlainTextEdit* Memo1;
    QWidget* pnl_ButtonContainer;
    QPushButton* CloseBtn;
    QWidget* Panel1;

    static QString usageText();

signals:
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate(const QStringList& arguments);
    void FormShow();
    void CloseBtnClick();

    QString m_parameter;
    QString m_runMode;
    TUpdateForm* m_updateForm = nullptr;
};
