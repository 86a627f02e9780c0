#pragma once

#include "video/CLiveVideo.h"

class QWidget;

// The live view's message boxes: the text of the key, the owner's title as caption, read
// right to left when the owner is. Shown window-modal without waiting, so the video and audio
// messages keep flowing while it is open.
void ShowVideoMessage(QWidget* owner, const QString& key, CLiveVideo::MessageIcon icon);
