// Everything a host needs: every exported class, record and enumeration.
#ifndef ORVEXSYSTEM_ORVEXSYSTEM_H
#define ORVEXSYSTEM_ORVEXSYSTEM_H

#include <orvexsystem/abstracthardwarewrapper.h>
#include <orvexsystem/device.h>
#include <orvexsystem/driverdeviceinfo.h>
#include <orvexsystem/enhancedquestion.h>
#include <orvexsystem/enhancedquestionsession.h>
#include <orvexsystem/displayinfo.h>
#include <orvexsystem/export.h>
#include <orvexsystem/hub.h>
#include <orvexsystem/hubresponse.h>
#include <orvexsystem/legacyhub.h>
#include <orvexsystem/legacyhubregistrationsession.h>
#include <orvexsystem/orvexhubexpressionnamingsession.h>
#include <orvexsystem/orvexhubregistrationsession.h>
#include <orvexsystem/orvexhubslatenamingsession.h>
#include <orvexsystem/orvexhubvotenamingsession.h>
#include <orvexsystem/registrationcode.h>
#include <orvexsystem/sessiontypes.h>
#include <orvexsystem/system.h>
#include <orvexsystem/twopointfourghzhub.h>
#include <orvexsystem/twopointfourghzpinnamingresponse.h>
#include <orvexsystem/twopointfourghzresponses.h>
#include <orvexsystem/virtualtwopointfourghzhub.h>

#endif
