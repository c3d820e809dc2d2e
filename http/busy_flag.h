#pragma once
// BusyFlag: one request at a time on a client. A request claims the flag before it starts,
// and the claim gives the flag back when the request ends, however it ends. Used by
// TIdHTTP and by the window's shared client.
#include <atomic>

namespace quavrel {

class BusyFlag {
public:
    class Claim {
    public:
        Claim(Claim&& other) noexcept : flag_(other.flag_) { other.flag_ = nullptr; }
        Claim(const Claim&) = delete;
        Claim& operator=(const Claim&) = delete;
        Claim& operator=(Claim&&) = delete;
        ~Claim()
        {
            if (flag_)
                flag_->store(false);
        }
        // False when the flag was already taken: the claimer must not go on.
        explicit operator bool() const { return flag_ != nullptr; }

    private:
        friend class BusyFlag;
        explicit Claim(std::atomic<bool>* flag) : flag_(flag) {}
        std::atomic<bool>* flag_;
    };

    Claim tryClaim() { return Claim(busy_.exchange(true) ? nullptr : &busy_); }
    bool busy() const { return busy_.load(); }

private:
    std::atomic<bool> busy_{false};
};

}  // namespace quavrel
