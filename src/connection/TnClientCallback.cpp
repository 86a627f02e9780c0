#include "connection/TnClientCallback.h"

CTnClientCallback::~CTnClientCallback() = default;
