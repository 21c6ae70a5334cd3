#include "xtest/QnInputInjector.h"

QnInputInjector::~QnInputInjector() = default;
