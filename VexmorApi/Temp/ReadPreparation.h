// The commands a scan job runs before image data flows: adapt the user's
// request to the device, send the scan parameters and read back what the
// device will really do, decide the scan area (with a paper-size detection
// where the device has one), and start the scan. One object per scan job,
// made by command generation and owned by the job's reading thread.
#pragma once

#include <memory>
#include <optional>

#include "VexmorApi/ScannerCapability.h"
#include "VexmorApi/Temp/DeviceCapsForPreparation.h"
#include "VexmorApi/Temp/IParseCmdRes.h"
#include "VexmorApi/Temp/ScanCmd.h"
#include "VexmorApi/Temp/ScanCmdScanParam.h"
#include "VexmorApi/VexmorApiTypes.h"
#include "vdtcl/VsResult.h"

namespace vscore {

// Result codes of the read preparation (others come from the facade).
enum : VSRSLT {
    READPREP_NO_COMMAND_OBJECT = 0x70210001,
    READPREP_INVALID_RESOLUTION = 0x70210002,  // no usable resolution, or an unknown paper type
    READPREP_DUPLEX_AREA_TOO_WIDE = 0xD0210045,
    READPREP_NULL_OUTPUT = 0x7010000A,
    READPREP_NO_PROFILE = 0x1010000D,
    READPREP_PROFILE_UNAVAILABLE = 0x10100011,
};

// Used by the reading thread only, in slot order: SetScanParamToDev,
// SendColorProfileCmd, DecideScanArea, ReverseDuplxBindingDirectionIfNeeds
// (stopping at the first failure), then SendToExecuteScanCommand when the
// transfer begins. Every operation that sends needs the facade and gives
// READPREP_NO_COMMAND_OBJECT without one.
class CReadPreparation_base {
public:
    // Hands the generation to the facade (a facade that knows another one
    // keeps it).
    CReadPreparation_base(std::shared_ptr<CScanCmd> scanCmd, SCANCMD_GENERATION generation,
                          const VS_SCANNER_CAPABILITY& capability);
    virtual ~CReadPreparation_base();

    // Adjusts request to the device (written back: the caller sees the
    // adjusted request), sends the device parameters and reads what the
    // device applies, halving the resolution while the device answers one
    // that does not divide it. May throw TraceException for a colour type
    // the device cannot detect corners in.
    virtual VSRSLT SetScanParamToDev(VS_SCANNER_PARAMETERS& request);
    virtual VSRSLT SendColorProfileCmd(const VS_SCANNER_PARAMETERS& request) = 0;
    // May throw TraceException for a paper source the device did not name.
    virtual VSRSLT DecideScanArea(const VS_SCANNER_PARAMETERS& request) = 0;
    virtual void ReverseDuplxBindingDirectionIfNeeds(DUPLEXTYPE& duplex) = 0;
    // Starts the scan and, whatever that gives, fills device with the
    // request as the device delivers it (all in pixels).
    virtual VSRSLT SendToExecuteScanCommand(const VS_SCANNER_PARAMETERS& user, VS_SCANNER_PARAMETERS& device);
    // The colour profile for a bit depth. The bytes stay this object's.
    virtual VSRSLT GetIccProfile(void** data, int* size, int bitDepth) = 0;
    virtual _SCANCMD_SCANAREA GetScanArea();

    VSRSLT AbortScanProcess();
    VSRSLT FinishAutoContinuousScan();
    // Send the stored parameters with the edge pre-scan or original scan
    // mode; the stored parameters do not change. Failures are only logged.
    void SetEdgeScanMode();
    void SetOriginalScanMode();

    AXIS GetActualScanArea() const;
    AXIS GetMaxScanAreaPixel() const;
    AXIS GetActualResolusion() const;
    AXIS GetEdgeScanResolusion() const;
    AXIS GetEdgeScanArea() const;
    PAPERSOURCESELECT GetPaperSource() const;
    bool IsSupportedMarginAdjustment(PAPERTYPE type) const;
    // The area the device reported, when it pre-scans; else zero.
    AXIS GetScanAreaIfPushScanHighSpeedMode() const;
    // False for the area types the device sizes itself (1-5).
    bool IsNormalAreaType() const;
    SCANCMD_EJECTION_TYPE GetEjectionType() const;
    // True when an actual resolution does not divide the sent one (a zero
    // actual resolution divides nothing).
    static bool ShouldDecrementResolution(AXIS sent, AXIS actual);
    // user as the device delivers it: resolution and colour type as sent,
    // the area in pixels within maxPixels.
    VS_SCANNER_PARAMETERS MakeDeviceScanParameter(VS_SCANNER_PARAMETERS user, _SCANCMD_SCANPARAM sent,
                                                  AXIS maxPixels) const;
    // A custom paper without length becomes long paper, narrow or wide by
    // its width.
    static void ChangeLongPaperIfNeeded(tagSCANAREAINFO& info, const unsigned int& resolution);

protected:
    // The detected paper of a GDS or E answer.
    VSRSLT DetectPaper(DETECTEDPAPERINFO& detected);
    // Keeps the stored area type and takes the rectangle of area.
    void SetStoredArea(const _SCANCMD_SCANAREA& area);

    std::shared_ptr<CScanCmd> scanCmd_;
    CDeviceCapsForPreparation caps_;
    ACTUALSCANPARAM actual_;
    _SCANCMD_SCANPARAM param_;
    std::optional<bool> reverseDuplex_;
};

class CReadPreparation_v1 : public CReadPreparation_base {
public:
    CReadPreparation_v1(std::shared_ptr<CScanCmd> scanCmd, SCANCMD_GENERATION generation,
                        const VS_SCANNER_CAPABILITY& capability);
    ~CReadPreparation_v1() override;

    // Generation 1 has no colour profile: 0, nothing sent.
    VSRSLT SendColorProfileCmd(const VS_SCANNER_PARAMETERS& request) override;
    VSRSLT DecideScanArea(const VS_SCANNER_PARAMETERS& request) override;
    void ReverseDuplxBindingDirectionIfNeeds(DUPLEXTYPE& duplex) override;
    VSRSLT GetIccProfile(void** data, int* size, int bitDepth) override;

    // Stores param in the facade with its area width rounded up to 16
    // pixels (except for command version 13).
    VSRSLT SetScanParam(_SCANCMD_SCANPARAM* param);
};

class CReadPreparation_v2 : public CReadPreparation_base {
public:
    CReadPreparation_v2(std::shared_ptr<CScanCmd> scanCmd, SCANCMD_GENERATION generation,
                        const VS_SCANNER_CAPABILITY& capability);
    ~CReadPreparation_v2() override;

    // GCP when the user asks for the profile and the device gives one.
    VSRSLT SendColorProfileCmd(const VS_SCANNER_PARAMETERS& request) override;
    VSRSLT DecideScanArea(const VS_SCANNER_PARAMETERS& request) override;
    // Throws TraceException (InvalidSequence) before DecideScanArea.
    void ReverseDuplxBindingDirectionIfNeeds(DUPLEXTYPE& duplex) override;
    // 24-bit colour takes the first profile when there is one, anything
    // else the second.
    VSRSLT GetIccProfile(void** data, int* size, int bitDepth) override;

    bool ShouldSendGDSCmd(const VS_SCANNER_PARAMETERS& request) const;

private:
    _GCPCMDRESPONSE profiles_;  // copies, valid as long as this object
};

}  // namespace vscore
