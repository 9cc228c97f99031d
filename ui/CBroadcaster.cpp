#include "ui/CBroadcaster.h"

CListener::~CListener()
{
    for (CBroadcaster* b : m_broadcasters)
        b->m_listeners.Remove(this);
}

void CListener::ListenTo(CBroadcaster& b)
{
    if (m_broadcasters.Contains(&b))
        return;
    m_broadcasters.Add(&b);
    b.m_listeners.Add(this);
}

void CListener::StopListening(CBroadcaster& b)
{
    m_broadcasters.Remove(&b);
    b.m_listeners.Remove(this);
}

CBroadcaster::~CBroadcaster()
{
    for (CListener* l : m_listeners)
        l->m_broadcasters.Remove(this);
}

void CBroadcaster::Broadcast(const CNotification& message)
{
    // A snapshot, checked against the live list, so unlinking while broadcasting is safe.
    const TArray<CListener*> snapshot = m_listeners;
    for (CListener* l : snapshot)
        if (m_listeners.Contains(l))
            l->Listen(message);
}
