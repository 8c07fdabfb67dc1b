#pragma once

namespace tessaloom::gui {

/// The hourglass for as long as it lives, once started. Every way out of a busy
/// step, a return or an exception, gives the pointer back.
class WaitCursor
{
public:
    WaitCursor() = default;
    explicit WaitCursor(bool startNow);
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    WaitCursor(WaitCursor&&) = delete;
    WaitCursor& operator=(WaitCursor&&) = delete;

    /// Shows the hourglass; nothing more when it is already on.
    void start();
    /// Gives the pointer back; nothing more when it is already off.
    void stop();

private:
    bool m_on = false;
};

} // namespace tessaloom::gui
