#include "UndoManager.h"

#include <algorithm>
#include <utility>

namespace tessera {

namespace {

bool sameTarget(const std::weak_ptr<const int>& registered,
                const std::shared_ptr<const int>& token) {
    return !registered.owner_before(token) && !token.owner_before(registered);
}

} // namespace

bool UndoManager::isLive(const Step& step) {
    return std::any_of(step.entries.begin(), step.entries.end(),
                       [](const Entry& entry) { return !entry.target.expired(); });
}

const UndoManager::Step* UndoManager::newestLive(const std::vector<Step>& stack) {
    const auto it = std::find_if(stack.rbegin(), stack.rend(), isLive);
    return it == stack.rend() ? nullptr : &*it;
}

void UndoManager::dropGoneSteps(std::vector<Step>& stack) {
    std::erase_if(stack, [](const Step& step) { return !isLive(step); });
}

void UndoManager::registerUndo(const UndoTarget& target, Action action) {
    Entry entry{target.token_, std::move(action)};
    if (running_ != Running::none) {
        collected_.entries.push_back(std::move(entry));
        return;
    }
    dropGoneSteps(undoStack_);
    undoStack_.push_back(Step{{}, {std::move(entry)}});
    redoStack_.clear();
    changed_.emit();
}

void UndoManager::setActionName(std::string_view name) {
    if (running_ != Running::none) {
        collected_.actionName = name;
        return;
    }
    if (!undoStack_.empty()) {
        undoStack_.back().actionName = name;
        changed_.emit();
    }
}

bool UndoManager::canUndo() const {
    return newestLive(undoStack_) != nullptr;
}

bool UndoManager::canRedo() const {
    return newestLive(redoStack_) != nullptr;
}

std::string UndoManager::undoActionName() const {
    const auto* step = newestLive(undoStack_);
    return step != nullptr ? step->actionName : std::string();
}

std::string UndoManager::redoActionName() const {
    const auto* step = newestLive(redoStack_);
    return step != nullptr ? step->actionName : std::string();
}

bool UndoManager::undo() {
    return run(undoStack_, redoStack_, Running::undo);
}

bool UndoManager::redo() {
    return run(redoStack_, undoStack_, Running::redo);
}

bool UndoManager::run(std::vector<Step>& from, std::vector<Step>& to, Running mode) {
    if (running_ != Running::none) {
        return false;
    }
    while (!from.empty() && !isLive(from.back())) {
        from.pop_back();
    }
    if (from.empty()) {
        return false;
    }
    const Step step = std::move(from.back());
    from.pop_back();

    // Restores the manager even when an action throws, so the history stays usable.
    struct Finish {
        UndoManager& manager;
        std::vector<Step>& to;
        ~Finish() {
            manager.running_ = Running::none;
            auto collected = std::exchange(manager.collected_, Step{});
            if (!collected.entries.empty()) {
                to.push_back(std::move(collected));
            }
        }
    };
    running_ = mode;
    collected_ = Step{};
    {
        const Finish finish{*this, to};
        for (auto entry = step.entries.rbegin(); entry != step.entries.rend(); ++entry) {
            // Checked before each action: an earlier one may have ended the target's life.
            if (const auto alive = entry->target.lock()) {
                entry->action();
            }
        }
    }
    changed_.emit();
    return true;
}

void UndoManager::removeAllActions(const UndoTarget& target) {
    const auto dropTarget = [&](Step& step) {
        std::erase_if(step.entries,
                      [&](const Entry& entry) { return sameTarget(entry.target, target.token_); });
    };
    for (auto* stack : {&undoStack_, &redoStack_}) {
        for (auto& step : *stack) {
            dropTarget(step);
        }
        std::erase_if(*stack, [](const Step& step) { return step.entries.empty(); });
    }
    dropTarget(collected_);
    changed_.emit();
}

void UndoManager::removeAllActions() {
    undoStack_.clear();
    redoStack_.clear();
    collected_.entries.clear();
    changed_.emit();
}

} // namespace tessera
