// Linked into the ThreadSanitizer build only (see the root CMakeLists.txt).
//
// The worker thread hands calls to the GUI thread with
// QMetaObject::invokeMethod and a functor (queued, or blocking queued when it
// waits for the result). Qt orders the two sides with its own futex-based
// mutexes and semaphores, which the sanitizer cannot see because Qt is not
// built with it, so every value the functor carries would be reported as a
// race. The linker routes our calls of QMetaObject::invokeMethodImpl here
// (-Wl,--wrap); the functor is wrapped so that the sanitizer learns exactly
// the orderings that Qt guarantees, and no others:
//   - whatever the caller did before the call happens before the functor runs;
//   - whatever the functor did happens before its destruction and, for a
//     blocking call, before the call returns.
// Races between a functor and anything else stay visible.

#include <QObject>

#include <memory>

extern "C" void __tsan_acquire(void* address);
extern "C" void __tsan_release(void* address);

namespace {

class AnnotatedSlot : public QtPrivate::QSlotObjectBase {
public:
    AnnotatedSlot(QtPrivate::QSlotObjectBase* inner, void* returned)
        : QSlotObjectBase(&Impl), inner_(inner), returned_(returned) {}

private:
    static void Impl(int which, QSlotObjectBase* base, QObject* receiver, void** args, bool* ret) {
        auto* self = static_cast<AnnotatedSlot*>(base);
        switch (which) {
        case Call: {
            __tsan_acquire(self);
            self->inner_->call(receiver, args);
            // The wrapper is not touched after its release: the caller may
            // destroy it as soon as the call has run.
            void* returned = self->returned_;
            if (returned != nullptr)
                __tsan_release(returned);
            __tsan_release(self);
            break;
        }
        case Compare:
            *ret = self->inner_->compare(args);
            break;
        case Destroy:
            __tsan_acquire(self);
            self->inner_->destroyIfLastRef();
            delete self;
            break;
        default:
            break;
        }
    }

    QtPrivate::QSlotObjectBase* inner_;
    void* returned_; // set for a blocking call: released when the functor has run
};

} // namespace

#define REAL_INVOKE __real__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv
#define WRAP_INVOKE __wrap__ZN11QMetaObject16invokeMethodImplEP7QObjectPN9QtPrivate15QSlotObjectBaseEN2Qt14ConnectionTypeEPv

extern "C" bool REAL_INVOKE(QObject* object, QtPrivate::QSlotObjectBase* slot,
                            Qt::ConnectionType type, void* ret);

extern "C" bool WRAP_INVOKE(QObject* object, QtPrivate::QSlotObjectBase* slot,
                            Qt::ConnectionType type, void* ret) {
    const bool blocking = type == Qt::BlockingQueuedConnection;
    // A token of its own rather than the wrapper: Qt may destroy the wrapper
    // before the call returns.
    const auto returned = blocking ? std::make_unique<char>() : nullptr;
    auto* annotated = new AnnotatedSlot(slot, returned.get());
    __tsan_release(annotated);
    const bool ok = REAL_INVOKE(object, annotated, type, ret);
    if (blocking)
        __tsan_acquire(returned.get());
    return ok;
}
