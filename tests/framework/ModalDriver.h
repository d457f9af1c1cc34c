#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Modal windows block the test until closed; this answers the next one that
// opens, from a timer, and gives up after a while so that no test can hang.
class ModalDriver
{
public:
    explicit ModalDriver(std::function<void(QWidget*)> answer) : answer_(std::move(answer))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(20);
    }

    bool Answered() const { return answered_; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal && !answered_) {
            answered_ = true;
            timer_.stop();
            answer_(modal);
        } else if (++polls_ > 500) {
            timer_.stop();
        }
    }

    std::function<void(QWidget*)> answer_;
    QTimer timer_;
    bool answered_ = false;
    int polls_ = 0;
};
