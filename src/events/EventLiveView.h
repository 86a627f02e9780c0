#pragma once

#include "connection/SiteViews.h"

// The calls the event actions make on the live view and the device tree. The main dialog
// implements it by forwarding to the live view (camera selection, audio) and the tree.
class EventLiveView
{
public:
    virtual ~EventLiveView() = default;

    virtual CameraSelection cameraSelection() const = 0;
    virtual void SelectCamera(const CameraSelection& selection) = 0;
    // kind: 1 controllers, 2 licence plates (log type 6).
    virtual void SelectPath(int hostId, int kind, const CameraSelection& selection) = 0;
    virtual bool SetSpeaker(bool on) = 0;
    virtual bool SetMicrophone(bool on) = 0;
    virtual bool speakerOn() const = 0;
    virtual bool microphoneOn() const = 0;
    // True while the microphone is open towards a door (a talk target is set).
    virtual bool isTalking() const = 0;
};
