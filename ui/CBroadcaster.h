// Notifications from views to whoever listens: a broadcaster keeps its listeners, a listener the
// broadcasters it hears; linking records both sides and destroying either side unlinks it everywhere.
#pragma once

#include <cstdint>

#include "ui/TArray.h"

class CPWindow;
class CView;

// Message kinds a dialog handler receives.
enum : std::int32_t {
    kMsgInit = 5,          // dialog initialised
    kMsgKey = 12,          // key pressed (code in `extra`: 13 Enter, 27 Escape)
    kMsgClose = 25,        // close requested
    kMsgTimer = 30,        // window timer (id in `extra`)
    kMsgNotification = 33, // control notification (code, id, view, value)
};
// Notification codes.
enum : std::int32_t { kNoteItemChosen = 5, kNoteClicked = 6, kNoteAboutToOpen = 17 };

struct CNotification {
    std::int32_t kind = kMsgNotification;
    CPWindow* window = nullptr;
    std::int32_t code = 0;
    std::int32_t id = 0;
    CView* view = nullptr;
    float value = 0.0f;
    std::int32_t extra = 0;
};

class CBroadcaster;

class CListener {
public:
    virtual ~CListener();
    virtual void Listen(const CNotification& message) = 0;

    void ListenTo(CBroadcaster& b);
    void StopListening(CBroadcaster& b);

private:
    friend class CBroadcaster;
    TArray<CBroadcaster*> m_broadcasters;
};

class CBroadcaster {
public:
    virtual ~CBroadcaster();
    void AddListener(CListener& l) { l.ListenTo(*this); }
    void RemoveListener(CListener& l) { l.StopListening(*this); }
    // Calls every listener's Listen with the message, in the order they were added. A listener may unlink
    // itself or others while hearing it.
    void Broadcast(const CNotification& message);
    std::size_t ListenerCount() const { return m_listeners.Count(); }

private:
    friend class CListener;
    TArray<CListener*> m_listeners;
};
