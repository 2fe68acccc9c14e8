#pragma once

#include "FormBuilder.h"
#include "HelpLauncher.h"
#include "ProfileFiles.h"

#include <QWidget>

// A control of a window built from a form template, found in the widget tree by its id.
template<class T = QWidget> T *control(const QWidget &window, int id) {
    return window.findChild<T *>(tavrenode::controlName(id));
}

// Answers the window's file dialogs with a file set beforehand (empty: Cancel), and keeps
// the name the save dialog was offered.
class PresetProfileFiles final : public tavrenode::ProfileFileChooser {
public:
    QString file;
    QString suggested;
    int asked = 0;

    QString saveFileName(QWidget * /*parent*/, const QString &suggestedName) override {
        ++asked;
        suggested = suggestedName;
        return file;
    }
    QString loadFileName(QWidget * /*parent*/) override {
        ++asked;
        return file;
    }
};

// Keeps the help topics asked for instead of opening a browser.
class RecordingHelp final : public tavrenode::HelpLauncher {
public:
    bool showTopic(unsigned topic) override {
        topics.append(topic);
        return works;
    }
    QString location() const override {
        return QStringLiteral("/usr/share/tavrenode-config/tavrenode-config.html");
    }
    QList<unsigned> topics;
    bool works = true;
};
