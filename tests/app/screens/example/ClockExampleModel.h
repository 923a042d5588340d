#pragma once
// The example screen's model: what the screen decides and formats, with no
// view in sight, so it is tested without a window.

#include <optional>
#include <string>

class ClockExampleModel {
public:
    // Reads the time command's bare-text reply (whole seconds since 1970)
    // against the device's time. A reply that is not a whole number leaves
    // the model without a difference.
    static ClockExampleModel fromReply(const std::string& reply, double deviceSeconds);

    // Server minus device, whole seconds; nullopt when the reply was unreadable.
    std::optional<long long> difference() const { return difference_; }
    // The line the screen shows.
    std::string caption() const;

private:
    std::optional<long long> difference_;
};
