#include <Reactive/RXChannel.h>

#include <Foundation/NSError.h>
#include <Reactive/RXReplaySubject.h>
#include <Runtime/ClassBuilder.h>

NS_IMPLEMENT_CLASS(RXChannel, NSObject) {
    b.readonlyProperty("leadingTerminal", &RXChannel::leadingTerminal);
    b.readonlyProperty("followingTerminal", &RXChannel::followingTerminal);
}

namespace {
// Passes the termination of `from` on to `to`. `to` is held weakly: the two subjects would
// otherwise hold each other (each one's subscriber list holding the other) and never be freed.
void forwardTermination(const Ref<RXSubject>& from, const Ref<RXSubject>& to) {
    Weak<RXSubject> weakTo(to);
    from->ignoreValues()->subscribeErrorCompleted(
        [weakTo](const Ref<NSError>& error) {
            if (Ref<RXSubject> subject = weakTo.lock()) {
                subject->sendError(error);
            }
        },
        [weakTo] {
            if (Ref<RXSubject> subject = weakTo.lock()) {
                subject->sendCompleted();
            }
        });
}
} // namespace

RXChannel::RXChannel() {
    auto leadingSubject = RXReplaySubject::replaySubjectWithCapacity(0);
    leadingSubject->setNameWithFormat("leadingSubject");
    auto followingSubject = RXReplaySubject::replaySubjectWithCapacity(1);
    followingSubject->setNameWithFormat("followingSubject");

    forwardTermination(leadingSubject, followingSubject);
    forwardTermination(followingSubject, leadingSubject);

    leadingTerminal_ = make<RXChannelTerminal>(leadingSubject, followingSubject);
    leadingTerminal_->setNameWithFormat("leadingTerminal");
    followingTerminal_ = make<RXChannelTerminal>(followingSubject, leadingSubject);
    followingTerminal_->setNameWithFormat("followingTerminal");
}
