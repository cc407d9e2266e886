#include "ProcessSettings.h"

#include <QApplication>
#include <QHelpEvent>
#include <QProxyStyle>
#include <QToolTip>
#include <QWidget>

namespace {
// Qt's tooltips have a style-given wake-up delay and a text-length-dependent display time;
// this makes both the process-wide values.
class HintStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_ToolTip_WakeUpDelay)
            return ProcessSettings::instance().hintPauseMs;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

class HintFilter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip || !watched->isWidgetType())
            return false;
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->toolTip().isEmpty())
            return false;
        auto* help = static_cast<QHelpEvent*>(event);
        QToolTip::showText(help->globalPos(), widget->toolTip(), widget, QRect(),
                           ProcessSettings::instance().hintHidePauseMs);
        return true;
    }
};
} // namespace

ProcessSettings& ProcessSettings::instance() {
    static ProcessSettings settings;
    return settings;
}

void ProcessSettings::apply(const QString& dateFormat, QChar separator, const QStringList& dayNames, int hintPause,
                            int hintHidePause) {
    ProcessSettings& s = instance();
    s.shortDateFormat = dateFormat;
    s.dateSeparator = separator;
    s.shortDayNames = dayNames;
    s.hintPauseMs = hintPause;
    s.hintHidePauseMs = hintHidePause;
    static bool installed = false;
    if (!installed && qApp) {
        installed = true;
        QApplication::setStyle(new HintStyle);
        qApp->installEventFilter(new HintFilter(qApp));
    }
}
