#pragma once

#include <QColor>
#include <QFont>
#include <functional>
#include <optional>

enum TButtonDrawType { btRect };
enum TBorderDrawStyle { brdSolid, brdClear };
enum TButtonDrawStyle { btnSolid, btnClear };

// One state's look. Each attribute has a default and may carry a design value; reading
// gives the design value when there is one. Any change tells the owner to repaint.
class TStyledButtonAttributes {
public:
    struct Values {
        TButtonDrawType DrawType = btRect;
        int BorderWidth = 2;
        QColor BorderColor;
        QColor ButtonColor;
        QColor FontColor;
        QFont::Weight FontWeight = QFont::Normal;
        TBorderDrawStyle BorderDrawStyle = brdSolid;
        TButtonDrawStyle ButtonDrawStyle = btnSolid;
    };

    explicit TStyledButtonAttributes(std::function<void()> changed = {}) : m_changed(std::move(changed)) {}

    void setDefaults(const Values& defaults);
    const Values& defaults() const { return m_defaults; }

    TButtonDrawType DrawType() const { return m_drawType.value_or(m_defaults.DrawType); }
    int BorderWidth() const { return m_borderWidth.value_or(m_defaults.BorderWidth); }
    QColor BorderColor() const { return m_borderColor.value_or(m_defaults.BorderColor); }
    QColor ButtonColor() const { return m_buttonColor.value_or(m_defaults.ButtonColor); }
    QColor FontColor() const { return m_fontColor.value_or(m_defaults.FontColor); }
    QFont::Weight FontStyle() const { return m_fontWeight.value_or(m_defaults.FontWeight); }
    TBorderDrawStyle BorderDrawStyle() const { return m_borderDrawStyle.value_or(m_defaults.BorderDrawStyle); }
    TButtonDrawStyle ButtonDrawStyle() const { return m_buttonDrawStyle.value_or(m_defaults.ButtonDrawStyle); }

    void setBorderWidth(int value) { set(m_borderWidth, value, m_defaults.BorderWidth); }
    void setBorderColor(const QColor& value) { set(m_borderColor, value, m_defaults.BorderColor); }
    void setButtonColor(const QColor& value) { set(m_buttonColor, value, m_defaults.ButtonColor); }
    void setFontColor(const QColor& value) { set(m_fontColor, value, m_defaults.FontColor); }
    void setBorderDrawStyle(TBorderDrawStyle value) { set(m_borderDrawStyle, value, m_defaults.BorderDrawStyle); }
    void setButtonDrawStyle(TButtonDrawStyle value) { set(m_buttonDrawStyle, value, m_defaults.ButtonDrawStyle); }

    // Darken: c - c*p/100; lighten: c + (255-c)*p/100; each bracket rounded, halves away from zero.
    static QColor darken(const QColor& colour, int percent);
    static QColor lighten(const QColor& colour, int percent);

private:
    // A design value equal to the default is no design value at all.
    template <typename T> void set(std::optional<T>& slot, const T& value, const T& fallback) {
        slot = (value == fallback) ? std::nullopt : std::optional<T>(value);
        if (m_changed)
            m_changed();
    }

    std::function<void()> m_changed;
    Values m_defaults;
    std::optional<TButtonDrawType> m_drawType;
    std::optional<int> m_borderWidth;
    std::optional<QColor> m_borderColor;
    std::optional<QColor> m_buttonColor;
    std::optional<QColor> m_fontColor;
    std::optional<QFont::Weight> m_fontWeight;
    std::optional<TBorderDrawStyle> m_borderDrawStyle;
    std::optional<TButtonDrawStyle> m_buttonDrawStyle;
};
