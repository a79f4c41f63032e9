#include "support/NullDevice.h"

namespace test {

irr::IrrlichtDevice* createNullDevice(irr::IEventReceiver* receiver) {
    irr::SIrrlichtCreationParameters params;
    params.DriverType = irr::video::EDT_NULL;
    params.WindowSize = irr::core::dimension2d<irr::u32>(1280, 720);
    params.EventReceiver = receiver;
    params.LoggingLevel = receiver ? irr::ELL_INFORMATION : irr::ELL_NONE;
    return irr::createDeviceEx(params);
}

} // namespace test
