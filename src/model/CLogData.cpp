#include "model/CLogData.h"

CLogData::~CLogData() = default;
