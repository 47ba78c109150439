#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace tessera {

// Ends a subscription when destroyed (or when disconnect is called). Safe to outlive the
// signal it came from.
class Connection {
public:
    Connection() = default;
    explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    Connection(Connection&& other) noexcept : disconnect_(std::exchange(other.disconnect_, {})) {}
    Connection& operator=(Connection&& other) noexcept {
        if (this != &other) {
            disconnect();
            disconnect_ = std::exchange(other.disconnect_, {});
        }
        return *this;
    }
    ~Connection() { disconnect(); }

    void disconnect() {
        if (auto d = std::exchange(disconnect_, {})) {
            d();
        }
    }

private:
    std::function<void()> disconnect_;
};

// A small single-threaded signal. Slots may connect or disconnect (even themselves) while the
// signal is being emitted; a slot removed during emission is not called afterwards.
template <typename... Args> class Signal {
public:
    Signal() : slots_(std::make_shared<Slots>()) {}
    Signal(const Signal&) = delete;
    Signal& operator=(const Signal&) = delete;

    [[nodiscard]] Connection connect(std::function<void(Args...)> slot) {
        const auto id = slots_->nextId++;
        slots_->entries.push_back(
            {id, std::make_shared<std::function<void(Args...)>>(std::move(slot))});
        std::weak_ptr<Slots> weak = slots_;
        return Connection([weak, id] {
            if (auto slots = weak.lock()) {
                std::erase_if(slots->entries, [id](const Entry& e) { return e.id == id; });
            }
        });
    }

    void emit(Args... args) const {
        const auto snapshot = slots_->entries;
        for (const auto& entry : snapshot) {
            const bool stillConnected =
                std::any_of(slots_->entries.begin(), slots_->entries.end(),
                            [&](const Entry& e) { return e.id == entry.id; });
            if (stillConnected) {
                (*entry.slot)(args...);
            }
        }
    }

    std::size_t slotCount() const { return slots_->entries.size(); }

private:
    struct Entry {
        std::size_t id;
        std::shared_ptr<std::function<void(Args...)>> slot;
    };
    struct Slots {
        std::vector<Entry> entries;
        std::size_t nextId = 0;
    };
    std::shared_ptr<Slots> slots_;
};

} // namespace tessera
