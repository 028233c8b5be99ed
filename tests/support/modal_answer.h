#pragma once

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include <functional>

// Answers the next modal dialog of type Dialog once it is up: the code under
// test opens it with exec(), which only returns after `answer` has closed it.
template <typename Dialog>
void answer_modal(std::function<void(Dialog *)> answer)
{
    auto *poll = new QTimer;
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        answer(dialog);
    });
    poll->start();
}
