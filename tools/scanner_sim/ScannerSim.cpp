// The simulator: the device model with its fronts.
#include "tools/scanner_sim/ScannerSim.h"

#include <stdexcept>

#include "tools/scanner_sim/Fronts.h"

namespace scanner_sim {

ModelOptions MakeModelOptions(const Simulator::Options& options)
{
    ModelOptions m;
    std::string error;
    if (!Profile::Builtin(options.profile, m.profile, error) ||
        (!options.profileFile.empty() && !m.profile.LoadFile(options.profileFile, error))) {
        throw std::invalid_argument(error);
    }
    for (const auto& [key, value] : options.settings) {
        if (!m.profile.Set(key, value, error)) {
            throw std::invalid_argument(error);
        }
    }
    if (options.panelDuplex) {
        m.profile.panelDuplex = true;
    }
    m.timeScale = options.timeScale;
    m.dumpDir = options.dumpDir;
    m.seed = options.seed;
    m.duplexOrder = options.duplexOrder;
    m.transcriptPath = options.transcriptPath;
    return m;
}

Simulator::Simulator(const Options& options)
    : model_(std::make_unique<DeviceModel>(MakeModelOptions(options))),
      tcp_(std::make_unique<TcpFront>(*model_)),
      usb_(std::make_unique<UsbFront>(*model_)),
      snmp_(std::make_unique<SnmpFront>(*model_))
{
}

Simulator::~Simulator() { Stop(); }

bool Simulator::Inject(const std::string& fault, const Trigger& trigger, std::string& error)
{
    Fault f;
    if (!ParseFault(fault.substr(0, fault.find('@')) + "@" + trigger.Text(), f, error)) {
        return false;
    }
    return model_->Inject(f.Spec(), error);
}

bool Simulator::ListenTcp(const std::string& address, uint16_t port, std::string& error, nettest::NetNamespace* ns)
{
    return tcp_->Start(address, port, ns, error);
}

std::string Simulator::Address() const { return tcp_->Address(); }
uint16_t Simulator::Port() const { return tcp_->Port(); }

bool Simulator::AttachUsb(uint16_t productId, std::string& error) { return usb_->Attach(kVendorId, productId, error); }
int Simulator::UsbDevice() const { return usb_->Device(); }

bool Simulator::ServeSnmp(uint16_t port, std::string& error, nettest::NetNamespace* ns)
{
    return snmp_->Start(port, ns, error);
}

void Simulator::Stop()
{
    tcp_->Stop();
    usb_->Detach();
    snmp_->Stop();
}

}  // namespace scanner_sim
