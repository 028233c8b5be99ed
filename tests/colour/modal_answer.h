#pragma once

#include <QApplication>
#include <QColorDialog>
#include <QTimer>

#include <functional>

// Answers the next modal colour dialog once it is up: the code under test
// opens it with exec(), which only returns after `answer` has closed it.
inline void answer_colour_dialog(std::function<void(QColorDialog *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto *dialog = qobject_cast<QColorDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->deleteLater();
        poll->stop();
        answer(dialog);
    });
    poll->start();
}
