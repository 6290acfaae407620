#pragma once
// Answers the program's modal questions at once and remembers what was
// asked, so tests never sit in a modal loop.
#include "ui/Prompts.h"

#include "gui_support/QtPrinters.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

namespace qav::test {

struct AskedMessage
{
    QString caption;
    QString text;
    MessageButtons buttons;
};

class FakePrompts : public IPrompts
{
public:
    bool Message(QWidget*, const QString& caption, const QString& text, MessageButtons buttons) override
    {
        messages.push_back({caption, text, buttons});
        if (onMessage)
            onMessage();
        return answerYes;
    }
    bool ConfirmExit(QWidget*) override
    {
        ++exitQuestions;
        return confirmExit;
    }
    void About(QWidget*) override { ++abouts; }
    void ReceiverTypeChanged(QWidget*) override { ++receiverNotices; }
    QString OpenFileName(QWidget*, const QString& title, const QString& filter,
                         const QStringList& places = {}) override
    {
        fileTitles << title;
        fileFilters << filter;
        filePlaces << places;
        return openPath;
    }
    QString SaveFileName(QWidget*, const QString& title, const QString& filter, const QString& defaultSuffix,
                         bool confirmOverwrite = true) override
    {
        fileTitles << title;
        fileFilters << filter;
        saveSuffixes << defaultSuffix;
        saveConfirmsOverwrite << confirmOverwrite;
        return savePath;
    }
    bool ReviewLoad(QWidget*, const LoadReview& review) override
    {
        reviews.push_back(review);
        if (onReview)
            onReview();
        return applyReview;
    }

    QList<AskedMessage> messages;
    bool answerYes = true;
    bool confirmExit = true;
    int exitQuestions = 0;
    int abouts = 0;
    int receiverNotices = 0;
    QStringList fileTitles, fileFilters, saveSuffixes;
    QList<bool> saveConfirmsOverwrite;
    QString openPath, savePath;
    QList<QStringList> filePlaces; // of each open chooser
    QList<LoadReview> reviews;
    bool applyReview = true;
    std::function<void()> onReview;  // runs while the review is up
    std::function<void()> onMessage; // runs while the "box" is up
};

} // namespace qav::test
