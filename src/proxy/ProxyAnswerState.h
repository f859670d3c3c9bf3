#pragma once
// What a parser of a proxy's answer says about the bytes read so far.
namespace kiv {

enum class TProxyAnswerState {
    NeedMore,  // the answer is not complete yet: read more and parse again from the start
    Done,      // a complete, acceptable answer; `consumed` bytes belong to it
    Error,     // not an answer the tunnel can go on with; `reason` says why
};

}  // namespace kiv
