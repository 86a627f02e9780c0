#include "model/CPlace.h"

CPlace::~CPlace() = default;
