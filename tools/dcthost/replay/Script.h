// What a replay expects during one host call: the recording's server calls and callback records
// that came before the call's own line, strictly in order, and the first place where the library
// did something else.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "replay/RecordingFile.h"

namespace dcthost::replay {

// One field that differs: its name, what the recording has, what the library did.
struct Difference {
    std::string field, expected, actual;
};

struct Divergence {
    std::size_t event = 0;  // index in the recording's events of the event where it happened
    std::string side;       // "host", "callback", "server"
    std::string summary;    // one sentence
    std::vector<Difference> differences;
};

class Script {
public:
    // The events [from, to) of the recording's events.
    void Load(const std::vector<Event>& events, std::size_t from, std::size_t to) {
        events_ = &events;
        next_ = from;
        end_ = to;
    }
    // The next expected event, or null when the host call has nothing more to come.
    const Event* Next() const { return next_ < end_ ? &(*events_)[next_] : nullptr; }
    std::size_t NextIndex() const { return next_; }
    // What the recording has next, for saying where the library went another way: the next expected
    // event, else the host call's own line.
    std::string Upcoming() const;
    void Take() { ++next_; }
    // Passes over what is left (a dialog's calls, which are not replayed); how many.
    std::size_t Skip() {
        const std::size_t left = end_ - next_;
        next_ = end_;
        return left;
    }

    // The first divergence wins; later ones follow from it.
    void Diverge(Divergence divergence) {
        if (!divergence_) divergence_ = std::move(divergence);
    }
    const std::optional<Divergence>& Diverged() const { return divergence_; }

private:
    const std::vector<Event>* events_ = nullptr;
    std::size_t next_ = 0, end_ = 0;
    std::optional<Divergence> divergence_;
};

}  // namespace dcthost::replay
