#include "events/EventPlace.h"

#include "connection/ConnectionManager.h"
#include "events/EventRow.h"
#include "model/CKRHost.h"

EventPlace EventPlace::Of(CConnectionManager& manager, int hostId, int controllerId, int doorId,
                          int inputId)
{
    EventPlace place;
    const CKRHost* host = manager.FindHostById(hostId);
    if (!host)
        return place;
    place.hostKnown = true;
    place.host = host->name;
    place.user = host->userName;
    const CController* controller = host->siteConfig.FindController(controllerId);
    if (!controller)
        return place;
    place.controllerKnown = true;
    place.controller = controller->name;
    if (const CDoor* door = controller->FindDoor(doorId)) {
        place.doorKnown = true;
        place.door = door->name;
    } else if (const CKRInput* input = controller->FindInput(inputId)) {
        place.inputKnown = true;
        place.input = input->name;
    }
    return place;
}

EventPlace EventPlace::Of(CConnectionManager& manager, const EVENT& event)
{
    return Of(manager, event.hostId, event.controllerId, event.doorId, event.inputId);
}

EventPlace EventPlace::Of(CConnectionManager& manager, const CameraSelection& selection)
{
    return Of(manager, selection.hostId, selection.controllerId, selection.doorId,
              selection.inputId);
}

QString EventPlace::DeviceText() const
{
    if (!controllerKnown)
        return QStringLiteral("N/A");
    const QString format = QStringLiteral("%1 . %2");
    if (doorKnown)
        return format.arg(door, controller);
    if (inputKnown)
        return format.arg(input, controller);
    return controller;
}
