#pragma once

#include <functional>
#include <type_traits>
#include <utility>

// A place where the program hands one modal thing (a message box, a file
// dialog, the text editor, the Lp library ...) to whoever answers it. The
// program asks the seam first; while no handler is installed the real thing
// runs. Tests install a handler for their own lifetime with ScopedHandler,
// so that every command can be driven without a person.
//
//   platform::Seam<void(const QString&)>& MessageSeam();      // in a header
//   if (const auto& handler = MessageSeam().Handler()) return handler(text);
//
//   platform::ScopedHandler recorder(platform::MessageSeam(), [&](const QString& t) { seen << t; });
namespace platform {

template <class Signature>
class Seam {
public:
    using HandlerType = std::function<Signature>;

    // The installed handler; empty while the real thing runs.
    const HandlerType& Handler() const { return handler; }

    // Installs replacement (empty: the real thing again) and returns the
    // handler that was installed before.
    HandlerType Install(HandlerType replacement) { return std::exchange(handler, std::move(replacement)); }

private:
    HandlerType handler;
};

// Installs a handler for the lifetime of this object and then puts back
// whatever was installed before, also when a test fails half-way.
template <class Signature>
class ScopedHandler {
public:
    // The handler's type is not deduced, so that a lambda converts to it.
    ScopedHandler(Seam<Signature>& seam, std::type_identity_t<std::function<Signature>> handler)
        : seam(seam), previous(seam.Install(std::move(handler)))
    {
    }
    ~ScopedHandler() { seam.Install(std::move(previous)); }
    ScopedHandler(const ScopedHandler&) = delete;
    ScopedHandler& operator=(const ScopedHandler&) = delete;

private:
    Seam<Signature>& seam;
    std::function<Signature> previous;
};

} // namespace platform
