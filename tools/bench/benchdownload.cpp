// One download through the update window's own DownloadFile, with the window on screen
// (offscreen), the progress bar and the details area live. Prints the seconds it took.
// Usage: tallyaid_benchdownload URL FOLDER NAME [SIGNATURE_URL]
// With a signature address (and a key, TALLYAID_UPDATE_KEY_FILE) the file is hashed as it
// arrives and takes its name only once the signature checks out.
#include "platform/Error.h"
#include "platform/Fonts.h"
#include "update/ProgressFm.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProgressBar>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: %s URL FOLDER NAME [SIGNATURE_URL]\n", argv[0]);
        return 2;
    }
    installFontSubstitutes();
    TUpdateForm form;
    form.ProgramFolder = QDir(QString::fromLocal8Bit(argv[2])).absolutePath() + QDir::separator();
    form.show();
    int updates = 0;
    QObject::connect(form.findChild<QProgressBar*>(QStringLiteral("ProgressBar1")), &QProgressBar::valueChanged, [&] { ++updates; });
    QElapsedTimer timer;
    timer.start();
    try {
        form.DownloadFile(QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[3]),
                          argc == 5 ? QString::fromLocal8Bit(argv[4]) : QString());
    } catch (const TallyError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
    std::printf("%.3f %d\n", timer.nsecsElapsed() / 1e9, updates);
    return 0;
}
