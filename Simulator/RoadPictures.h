// The pictures a run writes when asked for them (--screenshots): the recorder's PNG of every settled
// screen and, on the session road, a text picture of the screen at each step. A picture that cannot
// be written ends the run: a person who asked for pictures must not find out later from a folder
// with some missing. Also what makes a transaction the final one a run waits for.
#pragma once

#include <nlohmann/json.hpp>

#include <string>

class RoadPictures {
public:
    // Records into `dir` (nothing when it is empty) until destroyed; `run` names the walk in the
    // message of a lost picture ("road", "run").
    RoadPictures(std::string dir, std::string run);
    ~RoadPictures();
    RoadPictures(const RoadPictures&) = delete;
    RoadPictures& operator=(const RoadPictures&) = delete;

    // Writes the text picture of the screen as "<n>-<name>.txt", numbered from 1. False, said as
    // reportLoss says it, once a picture of this recording (this one, or a PNG before it) was lost.
    [[nodiscard]] bool take(const std::string& name);
    // The first picture of this recording that could not be written, "<file>: <reason>"; empty while
    // every one was.
    std::string failure() const;
    // Says on standard error which picture was lost, the first time it is asked after a loss; answers
    // whether one was.
    bool reportLoss() const;

private:
    std::string dir_;
    std::string run_;
    std::string failure_; // of the text pictures
    mutable bool lossSaid_ = false;
    int count_ = 0;
};

// Whether `record` is the final transaction of `sessionId`, of the kind asked for (an evaluation or a
// trade-in), as opposed to its start transaction or another session's.
bool isFinalTransaction(const nlohmann::ordered_json& record, const std::string& sessionId, bool evaluate);
