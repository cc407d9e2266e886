#pragma once

#include <QDialog>

// The program's own borderless message window: created at start and kept for the whole run.
// Its sections, button sets and chrome are not built yet.
class TMessageForm : public QDialog {
    Q_OBJECT
public:
    explicit TMessageForm(QWidget* parent = nullptr);
};
