#include "SystemPlatform.h"

#include "AsciiCase.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QScreen>

namespace {
Platform* g_override = nullptr;

Platform& systemPlatform() {
    static Platform* instance = createSystemPlatform();
    return *instance;
}

} // namespace

Platform& Platform::current() {
    return g_override ? *g_override : systemPlatform();
}

void Platform::setCurrent(Platform* platform) {
    g_override = platform;
}

QString withTrailingSeparator(const QString& folder) {
    const QChar sep = QDir::separator();
    if (folder.endsWith(sep) || folder.endsWith(u'/'))
        return folder;
    return folder + sep;
}

bool subjectIsPublisher(const QList<QPair<QString, QString>>& subject, const Platform::Publisher& publisher) {
    const QPair<QString, QString> wanted[] = {{QStringLiteral("CN"), publisher.name},
                                              {QStringLiteral("O"), publisher.organisation},
                                              {QStringLiteral("L"), publisher.locality},
                                              {QStringLiteral("C"), publisher.country}};
    for (const auto& [attribute, value] : wanted) {
        int seen = 0;
        for (const auto& part : subject)
            if (part.first == attribute && (++seen > 1 || part.second != value))
                return false;
        if (seen != 1 || value.isEmpty())
            return false;
    }
    return true;
}

bool precedesInSearch(const QString& a, const QString& b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const QChar x = asciiUpper(a[i]), y = asciiUpper(b[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

QString SystemPlatform::executableFileName() const {
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

QString SystemPlatform::programFolder() const {
    return withTrailingSeparator(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()));
}

void SystemPlatform::showInformation(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Tallyaid"), text, QMessageBox::Ok,
                    owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void SystemPlatform::showWarning(QWidget* owner, const QString& text) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Tallyaid"), text, QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool SystemPlatform::inputQuery(QWidget* owner, const QString& caption, const QString& prompt, QString& value) {
    QInputDialog dialog(owner);
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    const bool ok = dialog.exec() == QDialog::Accepted;
    value = dialog.textValue();
    return ok;
}

void SystemPlatform::setClipboardText(const QString& text) {
    if (QClipboard* clipboard = QGuiApplication::clipboard())
        clipboard->setText(text);
}

void SystemPlatform::setClipboardContent(const QString& text, const QString& html) {
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        auto* data = new QMimeData;
        data->setText(text);
        data->setHtml(html);
        clipboard->setMimeData(data);
    }
}

QSize SystemPlatform::primaryScreenSize() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize();
}

QRect SystemPlatform::workArea() const {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QRect SystemPlatform::workAreaOf(const QRect& window) const {
    const QScreen* best = nullptr;
    qint64 bestShare = -1, bestDistance = -1;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shared = screen->geometry().intersected(window);
        const qint64 share = shared.isEmpty() ? 0 : qint64(shared.width()) * shared.height();
        // With no overlap anywhere, the screen whose centre is nearest wins.
        const QPoint d = screen->geometry().center() - window.center();
        const qint64 distance = qint64(d.x()) * d.x() + qint64(d.y()) * d.y();
        if (share > bestShare || (share == bestShare && share == 0 && distance < bestDistance)) {
            best = screen;
            bestShare = share;
            bestDistance = distance;
        }
    }
    return best ? best->availableGeometry() : workArea();
}

bool SystemPlatform::fileExists(const QString& path) const {
    return QFileInfo(path).isFile();
}

bool SystemPlatform::deleteFile(const QString& path) {
    return QFile::remove(path);
}
