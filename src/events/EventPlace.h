#pragma once

#include <QString>

class CConnectionManager;
struct CameraSelection;
struct EVENT;

// The names of where an event happened, as the host's site model knows them now: empty where
// the host, the controller, the door or the input is not (or no longer) known.
struct EventPlace
{
    QString host;
    QString user; // the login user name at that host
    QString controller;
    QString door;
    QString input;
    bool hostKnown = false;
    bool controllerKnown = false;
    bool doorKnown = false;
    bool inputKnown = false;

    static EventPlace Of(CConnectionManager& manager, int hostId, int controllerId, int doorId,
                         int inputId);
    static EventPlace Of(CConnectionManager& manager, const EVENT& event);
    static EventPlace Of(CConnectionManager& manager, const CameraSelection& selection);

    // The device as a row shows it: "door . controller", else "input . controller", else the
    // controller alone; "N/A" when the host or the controller is not known.
    QString DeviceText() const;
};
