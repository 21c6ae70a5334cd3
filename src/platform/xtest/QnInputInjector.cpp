#include "platform/xtest/QnInputInjector.h"

QnInputInjector::~QnInputInjector() = default;
