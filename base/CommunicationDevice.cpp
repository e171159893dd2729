#include "base/CommunicationDevice.h"

#include "base/Exception.h"

// Defined here too, so that the DLL exports the constants to callers that
// bind them to a reference.
constexpr unsigned CommunicationDevice::DefaultMaxQSize;

CommunicationDevice::CommunicationDevice()
{
    m_inLock.initialise();
    m_outLock.initialise();
}

CommunicationDevice::~CommunicationDevice()
{
    // Normally done by the derived device already; a thread still running
    // here would see a half-destroyed object, so it is stopped in any case.
    terminate(Infinite);
    try {
        {
            AutoMutex guard(m_inLock);
            cleanQ(m_inQ);
        }
        AutoMutex guard(m_outLock);
        cleanQ(m_outQ);
    } catch (const Exception&) {
        // A failing lock leaves the queues to their own destructors.
    }
}

int CommunicationDevice::execute(void* argument)
{
    for (;;) {
        while (sendReceiveMsgs())
            terminateIfRequested();
        sleep(100);
    }
}

bool CommunicationDevice::sendReceiveMsgs()
{
    return false;
}

Msg* CommunicationDevice::popMessage()
{
    return popMessage(m_inQ, m_inLock);
}

void CommunicationDevice::pushMessage(Msg* msg)
{
    pushMessage(msg, m_outQ, m_outLock);
}

void CommunicationDevice::pushMessage(Msg* msg, MsgQueue& queue, Mutex& lock)
{
    std::unique_ptr<Msg> owned(msg);
    if (!owned)
        throw Exception(1050201, L"NULL message was specified",
                        TC_AT(L"CommunicationDevice::pushMessage"));
    AutoMutex guard(lock);
    // One oldest entry goes per new message; a queue longer than a lowered
    // bound therefore stays at its length rather than shrinking at once.
    if (queue.size() >= m_maxQSize.load() && !queue.empty())
        queue.pop_front();
    queue.push_back(std::move(owned));
}

Msg* CommunicationDevice::popMessage(MsgQueue& queue, Mutex& lock)
{
    AutoMutex guard(lock);
    if (queue.empty())
        return nullptr;
    Msg* msg = queue.front().release();
    queue.pop_front();
    return msg;
}

void CommunicationDevice::cleanQ(MsgQueue& queue)
{
    queue.clear();
}

unsigned CommunicationDevice::getInQSize()
{
    AutoMutex guard(m_inLock);
    return static_cast<unsigned>(m_inQ.size());
}

unsigned CommunicationDevice::getOutQSize()
{
    AutoMutex guard(m_outLock);
    return static_cast<unsigned>(m_outQ.size());
}

void CommunicationDevice::setMaxQSize(unsigned n)
{
    m_maxQSize = n;
}
