#pragma once

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <vector>

// Modal windows block the test until closed; this answers the next ones that
// open, one answer each in turn, from a timer. It gives up after a while so that
// no test can hang on a modal window nobody expected.
class ModalDriver
{
public:
    using Answer = std::function<void(QWidget*)>;

    explicit ModalDriver(Answer answer) : ModalDriver(std::vector<Answer>{std::move(answer)}) {}
    explicit ModalDriver(std::vector<Answer> answers) : answers_(std::move(answers))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { Poll(); });
        timer_.start(20);
    }

    // How many modal windows were answered.
    int Answered() const { return answered_; }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        const bool fresh = modal && (modal != last_ || last_.isNull());
        if (fresh && answered_ < static_cast<int>(answers_.size())) {
            last_ = modal;
            answers_[answered_++](modal);
        }
        if (answered_ == static_cast<int>(answers_.size()) || ++polls_ > 500)
            timer_.stop();
    }

    std::vector<Answer> answers_;
    QTimer timer_;
    QPointer<QWidget> last_;
    int answered_ = 0;
    int polls_ = 0;
};
