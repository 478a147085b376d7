#pragma once

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <map>

#include "ports/WindowPorts.h"

// Texts of the labels and the path box by control id. Texts set on the worker
// reach the controls on the window thread in the order they were set.
class QLabel;

class QtControlTexts : public QObject, public ControlTexts {
    Q_OBJECT

public:
    explicit QtControlTexts(QObject* parent = nullptr);

    // A QLabel or a QLineEdit (window thread, before the worker starts).
    void addControl(int id, QWidget* control);

    void SetText(int controlId, const std::string& text) override;

private:
    void apply(int id);
    static void fitLabelText(QLabel* label, const QString& text);

    std::map<int, QPointer<QWidget>> m_controls;  // window thread only
    QMutex m_mutex;
    std::map<int, QString> m_texts;
};
