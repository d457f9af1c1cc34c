#include "framework/controls/EventDispatch.h"

#include <exception>
#include <iostream>

namespace {

void RunReportingFailures(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        std::cerr << e.what() << std::endl;
    } catch (...) {
        std::cerr << "An event handler failed for a reason that it did not tell." << std::endl;
    }
}

EventDispatcher& Dispatcher()
{
    static EventDispatcher dispatcher = RunReportingFailures;
    return dispatcher;
}

}  // namespace

void SetEventDispatcher(EventDispatcher dispatcher)
{
    Dispatcher() = dispatcher ? std::move(dispatcher) : RunReportingFailures;
}

void DispatchEvent(const std::function<void()>& handler)
{
    Dispatcher()(handler);
}
