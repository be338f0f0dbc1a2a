#pragma once

// Numbers of the host's filter interface.

#include "hostapi/Types.h"

namespace hostapi {

// First argument of the entry point. Finish follows if and only if Start
// succeeded, also after a failing Continue or a cancel.
inline constexpr int16 filterSelectorAbout = 0;
inline constexpr int16 filterSelectorParameters = 1;
inline constexpr int16 filterSelectorPrepare = 2;
inline constexpr int16 filterSelectorStart = 3;
inline constexpr int16 filterSelectorContinue = 4;
inline constexpr int16 filterSelectorFinish = 5;

// Results of the entry point and of the host's callbacks. A positive result
// tells the host that the plug-in has already reported the problem.
inline constexpr OSErr noErr = 0;
// The host shows no message for a cancel.
inline constexpr OSErr userCanceledErr = -128;
inline constexpr OSErr memFullErr = -108;
inline constexpr OSErr nilHandleErr = -109;
inline constexpr OSErr paramErr = -50;
// Also the end of a descriptor.
inline constexpr OSErr eofErr = -39;
inline constexpr OSErr errMissingParameter = -1715;
inline constexpr OSErr filterBadParameters = -30100;
inline constexpr OSErr filterBadMode = -30101;
inline constexpr OSErr errPlugInHostInsufficient = -30900;
inline constexpr OSErr errPlugInPropertyUndefined = -30901;
inline constexpr OSErr errHostDoesNotSupportColStep = -30902;
inline constexpr OSErr errInvalidSamplePoint = -30903;
// The host shows its own sentence ending in "because " followed by the
// record's errorString.
inline constexpr OSErr errReportString = -30904;
inline constexpr OSErr errHostVersionIncompatible = -30905;
// Open point: a code hosts return whose meaning no source documents.
inline constexpr OSErr unidentifiedHostErr = -12100;

// Results of the component suites.
inline constexpr SPErr spNoError = 0;
inline constexpr SPErr spSuiteNotFoundError = static_cast<SPErr>(fourCharCode("S!Fd"));
inline constexpr SPErr spBadParameterError = static_cast<SPErr>(fourCharCode("Parm"));
inline constexpr SPErr spUnimplementedError = static_cast<SPErr>(fourCharCode("!IMP"));
inline constexpr SPErr spOutOfMemoryError = -108;

// `imageMode`; also the bit index of a mode in the property list.
inline constexpr int16 modeBitmap = 0;
inline constexpr int16 modeGrayScale = 1;
inline constexpr int16 modeIndexedColor = 2;
inline constexpr int16 modeRGBColor = 3;
inline constexpr int16 modeCMYKColor = 4;
inline constexpr int16 modeHSLColor = 5;
inline constexpr int16 modeHSBColor = 6;
inline constexpr int16 modeMultichannel = 7;
inline constexpr int16 modeDuotone = 8;
inline constexpr int16 modeLabColor = 9;
inline constexpr int16 modeGray16 = 10;
inline constexpr int16 modeRGB48 = 11;
inline constexpr int16 modeLab48 = 12;
inline constexpr int16 modeCMYK64 = 13;
inline constexpr int16 modeDeepMultichannel = 14;
inline constexpr int16 modeDuotone16 = 15;
inline constexpr int16 modeRGB96 = 16;
inline constexpr int16 modeGray32 = 17;

// `filterCase`.
inline constexpr int16 filterCaseUnsupported = -1;
// The host did not set it; haveMask and isFloating tell the case instead.
inline constexpr int16 filterCaseNotSet = 0;
inline constexpr int16 filterCaseFlatImageNoSelection = 1;
inline constexpr int16 filterCaseFlatImageWithSelection = 2;
inline constexpr int16 filterCaseFloatingSelection = 3;
inline constexpr int16 filterCaseEditableTransparencyNoSelection = 4;
inline constexpr int16 filterCaseEditableTransparencyWithSelection = 5;
inline constexpr int16 filterCaseProtectedTransparencyNoSelection = 6;
inline constexpr int16 filterCaseProtectedTransparencyWithSelection = 7;

// `playInfo` of the descriptor parameters.
inline constexpr int16 plugInDialogDontDisplay = 0;
inline constexpr int16 plugInDialogDisplay = 1;
inline constexpr int16 plugInDialogSilent = 2;
// `recordInfo` of the descriptor parameters.
inline constexpr int16 plugInDialogOptional = 0;
inline constexpr int16 plugInDialogRequired = 1;
inline constexpr int16 plugInDialogNone = 2;

// Value types of descriptor keys.
inline constexpr DescriptorTypeID typeInteger = fourCharCode("long");
inline constexpr DescriptorTypeID typeFloat = fourCharCode("doub");
inline constexpr DescriptorTypeID typeUnitFloat = fourCharCode("UntF");
inline constexpr DescriptorTypeID typeBoolean = fourCharCode("bool");
inline constexpr DescriptorTypeID typeText = fourCharCode("TEXT");
inline constexpr DescriptorTypeID typeEnumerated = fourCharCode("enum");
inline constexpr DescriptorTypeID typeClass = fourCharCode("type");
inline constexpr DescriptorTypeID typeGlobalClass = fourCharCode("GlbC");
inline constexpr DescriptorTypeID typeObject = fourCharCode("Objc");
inline constexpr DescriptorTypeID typeGlobalObject = fourCharCode("GlbO");
inline constexpr DescriptorTypeID typeObjectReference = fourCharCode("obj ");
inline constexpr DescriptorTypeID typeValueList = fourCharCode("VlLs");
inline constexpr DescriptorTypeID typeRawData = fourCharCode("tdta");
inline constexpr DescriptorTypeID typeInteger64 = fourCharCode("comp");
inline constexpr DescriptorTypeID typeAlias = fourCharCode("alis");
inline constexpr DescriptorTypeID typePath = fourCharCode("Pth ");
inline constexpr DescriptorTypeID typeNull = fourCharCode("null");
inline constexpr DescriptorTypeID typeImageReference = fourCharCode("#ImR");

// Flags of the legacy getKeyProc, compared against its int32 flags taken as
// unsigned.
inline constexpr uint32 descriptorKeyEnumerated = 0x00002000;
inline constexpr uint32 descriptorKeyList = 0x00004000;
inline constexpr uint32 descriptorKeyOptional = 0x00008000;
inline constexpr uint32 descriptorKeyObject = 0x80000000;
inline constexpr uint32 descriptorKeyScoped = 0x40000000;
inline constexpr uint32 descriptorKeyStringID = 0x20000000;

// `hostSig` of the host, first argument of the property callbacks and vendor
// of every property-list entry.
inline constexpr OSType photoshopSignature = fourCharCode("8BIM");

// Host properties. Complex results arrive as handles the caller disposes;
// text in them carries neither length byte nor terminator.
inline constexpr uint32 propPlayInProgress = fourCharCode("plip");
inline constexpr uint32 propLayerIsSmartObject = fourCharCode("liss");
// UTF-16 document name; its length is the handle size.
inline constexpr uint32 propUnicodeDocumentName = fourCharCode("unnm");
// Watch-cursor suspension level, reset to 0 by the host at each call.
inline constexpr uint32 propWatchSuspension = fourCharCode("wtch");
inline constexpr uint32 propTitle = fourCharCode("titl");
inline constexpr uint32 propImageMode = fourCharCode("mode");
inline constexpr uint32 propRecordingInProgress = fourCharCode("rcip");

// `selector` of ColorServicesInfo.
inline constexpr int16 colorServicesChooseColor = 0;
inline constexpr int16 colorServicesConvertColor = 1;
inline constexpr int16 colorServicesSamplePoint = 2;
inline constexpr int16 colorServicesGetSpecialColor = 3;
// `specialColorID` of ColorServicesSelectorParameter.
inline constexpr int32 specialColorForeground = 0;
inline constexpr int32 specialColorBackground = 1;

// Colour spaces of the colour services and the ColorSpace suite. Components
// are 0..255; CMYK 255 means no ink, Lab a and b are offset by 128.
// Open point: only the RGB, CMYK and Gray ranges are confirmed; HSB and HSL
// may take 0..359 in every component.
inline constexpr int16 colorSpaceChosen = -1;
inline constexpr int16 colorSpaceRGB = 0;
inline constexpr int16 colorSpaceHSB = 1;
inline constexpr int16 colorSpaceCMYK = 2;
inline constexpr int16 colorSpaceLab = 3;
inline constexpr int16 colorSpaceGray = 4;
inline constexpr int16 colorSpaceHSL = 5;
inline constexpr int16 colorSpaceXYZ = 6;

} // namespace hostapi
