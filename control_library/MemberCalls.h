#pragma once

#include "ErrorNumbers.h"
#include "LookupTables.h"
#include "RaisedError.h"

#include <QEvent>
#include <QString>

#include <new>
#include <type_traits>

namespace SonbrelMP3 {

// Members that raise errors, and the one place where they must not: Qt's
// signal delivery cannot carry an exception (it would end the program), so
// a member that Qt itself called, through a signal connection or a queued
// call, reports its error through the object's Error signal instead.
//
// `memberDepth` counts the object's members under way. Only the outermost
// one decides: a member that another member of the same object calls, or
// that a host calls directly from an Error handler, raises as usual, so the
// caller that can catch it does. `deliveredByQt` is true when the object has
// a sender (a signal connection, direct or queued, is delivering to it) or
// is inside Qt's delivery of a queued call (see countMetaCall).
template <typename Object, typename Body>
auto callMember(Object &object, int &memberDepth, bool deliveredByQt, Body &&body) -> decltype(body())
{
    using Result = decltype(body());
    const bool boundary = deliveredByQt && memberDepth == 0;
    struct Depth {
        int &depth;
        explicit Depth(int &value) : depth(value) { ++depth; }
        ~Depth() { --depth; }
    } depth(memberDepth);
    if (!boundary)
        return body();
    const QString source = QString::fromLatin1(kPlayerErrorSource);
    try {
        return body();
    } catch (const platform::DispatchError &error) {
        emit object.Error(error.number(), error.source(), error.description());
    } catch (const std::bad_alloc &) {
        emit object.Error(kOutOfMemoryError, source, ErrorText(kOutOfMemoryError));
    } catch (...) {
        emit object.Error(kUnknownMediaError, source, ErrorText(kUnknownMediaError));
    }
    if constexpr (!std::is_void_v<Result>)
        return Result{};
}

// Runs `handle` (the base class's event()) counting Qt's deliveries of
// queued calls (QEvent::MetaCall) to the object in `metaCallDepth`.
template <typename Handle>
bool countMetaCall(int &metaCallDepth, QEvent *event, Handle &&handle)
{
    if (event->type() != QEvent::MetaCall)
        return handle(event);
    ++metaCallDepth;
    struct Leave {
        int &depth;
        ~Leave() { --depth; }
    } leave{metaCallDepth};
    return handle(event);
}

}  // namespace SonbrelMP3
