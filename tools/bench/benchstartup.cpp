// How long the update window takes to appear in run mode "2" in a given program folder,
// with one leftover installer that cannot be deleted. The maker's site is unreachable, so
// the version check ends at once and the time is the leftover removal's.
// Usage: tallyaid_benchstartup FOLDER RUNS      prints the median and best seconds
#include "platform/Fonts.h"
#include "platform/SystemPlatform.h"
#include "update/ProgressFm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <cstdio>
#include <vector>

namespace {
class ShownProbe : public QObject {
public:
    explicit ShownProbe(std::function<void()> shown) : m_shown(std::move(shown)) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show && m_shown) {
            m_shown();
            m_shown = nullptr;
        }
        return false;
    }

private:
    std::function<void()> m_shown;
};

class StuckLeftoverPlatform : public SystemPlatform {
public:
    explicit StuckLeftoverPlatform(const QString& folder) : m_folder(folder) {}
    QString programFolder() const override { return m_folder; }
    bool deleteFile(const QString& path) override {
        if (QFileInfo(path).fileName() == QLatin1String("twv3up.exe"))
            return false; // locked, as by a running copy or a virus scanner
        return SystemPlatform::deleteFile(path);
    }

private:
    QString m_folder;
};
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER RUNS\n", argv[0]);
        return 2;
    }
    installFontSubstitutes();
    StuckLeftoverPlatform platform(withTrailingSeparator(QDir(QString::fromLocal8Bit(argv[1])).absolutePath()));
    Platform::setCurrent(&platform);
    std::vector<double> seconds;
    for (int run = 0; run < std::max(1, atoi(argv[2])); ++run) {
        TUpdateForm form;
        QElapsedTimer timer;
        timer.start();
        // The first show event: everything before it is preparation the user waits for.
        // (A zero timer would fire inside the version check's own event loop.)
        ShownProbe probe([&] {
            seconds.push_back(timer.nsecsElapsed() / 1e9);
            QTimer::singleShot(0, &form, &QWidget::close);
        });
        form.installEventFilter(&probe);
        form.ShowModalUpdate(QStringLiteral("2"));
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.4f %.4f\n", seconds[seconds.size() / 2], seconds.front());
    return 0;
}
