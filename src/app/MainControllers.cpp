#include "app/MainControllers.h"

#include "core/AppContext.h"

MainControllers::MainControllers(AppContext &context)
    : ctx(context), devices(context.port), navigation(context), statusClock(context.clock)
{
}
