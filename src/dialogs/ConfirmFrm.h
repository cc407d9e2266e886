#pragma once

#include <QDialog>

// The program's own question box: created at start and kept for the whole run.
// Its rows of buttons, message types and keyboard map are not built yet.
class TConfirm : public QDialog {
    Q_OBJECT
public:
    explicit TConfirm(QWidget* parent = nullptr);
};
