#pragma once

#include <QWidget>

#include "ports/StatusLine.h"

class CaptionProgressBar;
class QLabel;
class SoundOutput;

// The status line of the window: the status text 1018 and, lying on the same
// place, the progress bar 1031 that covers it while shown. Calls made on the
// worker are carried to the window thread in the order they were made.
class StatusLineWidget : public QWidget, public StatusLine {
    Q_OBJECT

public:
    static constexpr QRgb AlertBackground = 0xFFFF0000;  // RGB(255, 0, 0)

    // `sound`, when given, sounds the beep (the window's SoundOutput); otherwise
    // the application beep is used.
    explicit StatusLineWidget(QWidget* parent = nullptr, SoundOutput* sound = nullptr);

    void setSoundOutput(SoundOutput* sound) { m_sound = sound; }
    // The text may be narrower than the bar, which covers it while shown
    // (0: as wide as the widget).
    void setTextWidth(int pixels);

    void SetStatus(const std::string& text, bool alert, bool beep) override;
    void ShowProgress() override;
    void SetProgress(int position, const std::string& caption) override;
    void HideProgress() override;

    // Window thread only.
    QLabel* statusLabel() const { return m_label; }
    CaptionProgressBar* progressBar() const { return m_bar; }
    bool alert() const { return m_alert; }

Q_SIGNALS:
    // After the text and its colours changed (window thread).
    void statusChanged(const QString& text, bool alert);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void applyStatus(const QString& text, bool alert, bool beep);
    void applyColours();

    QLabel* m_label;
    CaptionProgressBar* m_bar;
    SoundOutput* m_sound;
    bool m_alert = false;
    int m_textWidth = 0;
};
