#include "engine/pfo.h"

#include "engine/engine_state.h"

namespace qf {

PFO::PFO(EngineState& engine) : engine(engine) {}

AdvancedOptions PFO::advancedOptions() const {
    return {Outbound_Bind, UDP_Port_Bind, Address_ReUse, TCP_NoDelay, TCP_KeepAlive};
}

void PFO::setAdvancedOptions(const AdvancedOptions& o) {
    Outbound_Bind = o.Outbound_Bind;
    UDP_Port_Bind = o.UDP_Port_Bind;
    Address_ReUse = o.Address_ReUse;
    TCP_NoDelay = o.TCP_NoDelay;
    TCP_KeepAlive = o.TCP_KeepAlive;
}

bool IsRunningStatus(PFOStatus status) {
    return status != PFOStatus::Stopped && status != PFOStatus::ErrorStarting;
}

bool IsPFORunning(const PFO& pfo) { return IsRunningStatus(pfo.Status.load()); }

PFOPtr CreatePFO(EngineState& engine) {
    auto pfo = std::make_shared<PFO>(engine);
    std::lock_guard listLock(engine.pfos.PFOListLock);
    const PFODefaults& d = engine.defaults;
    pfo->LocalIP = d.LocalIP;
    pfo->LocalPort = d.LocalPort;
    pfo->OLAddress = d.OLAddress;
    pfo->OLPort = d.OLPort;
    pfo->RemoteHost = d.RemoteHost;
    pfo->RemotePort = d.RemotePort;
    pfo->ExtraRemoteDestinations = d.ExtraRemoteDestinations;
    pfo->MaxSessions = d.MaxSessions;
    pfo->UDPSessionTimeout = d.UDPSessionTimeout;
    pfo->Bounce = d.CheckBounce;
    pfo->ForwardICMPForUDP = d.ForwardICMPForUDP;
    pfo->protocol = d.CheckTCP ? Protocol::TCP : Protocol::UDP;
    if (d.AutoApplyLatestAdvancedOptions) pfo->setAdvancedOptions(d.latestAdvancedOptions);
    return pfo;
}

PFOPtr CopyPFOForEditing(const PFO& source) {
    PFOPtr copy = CreatePFO(source.engine);
    std::lock_guard sourceLock(source.ConfigLock);
    copy->Enabled = source.Enabled.load();
    copy->Note = source.Note;
    copy->EnableDTFIPFilter = source.EnableDTFIPFilter;
    copy->DTFIPFilePath = source.DTFIPFilePath;
    copy->DTFIPInterval = source.DTFIPInterval;
    copy->DTFIPFilter_ApplyToExistingConnectionsOnUpdate =
        source.DTFIPFilter_ApplyToExistingConnectionsOnUpdate;
    copy->setAdvancedOptions(source.advancedOptions());
    copy->LocalPort = source.LocalPort;
    copy->LocalIP = source.LocalIP;
    copy->OLPort = source.OLPort;
    copy->OLAddress = source.OLAddress;
    copy->RemotePort = source.RemotePort;
    copy->RemoteHost = source.RemoteHost;
    copy->ExtraRemoteDestinations = source.ExtraRemoteDestinations;
    copy->protocol = source.protocol;
    copy->MaxSessions = source.MaxSessions;
    copy->Bounce = source.Bounce;
    copy->UDPSessionTimeout = source.UDPSessionTimeout;
    copy->ForwardICMPForUDP = source.ForwardICMPForUDP;
    copy->EnableIPFilter = source.EnableIPFilter;
    std::lock_guard filterLock(source.FilterLock);
    auto own = [](const RangeListPtr& list) {
        return list ? std::make_shared<const RangeList>(*list) : nullptr;
    };
    copy->AcceptRanges = own(source.AcceptRanges);
    copy->RejectRanges = own(source.RejectRanges);
    return copy;
}

Text StatusText(const EngineState& engine, PFOStatus status, bool enabled) {
    switch (status) {
        case PFOStatus::Idle: return engine.texts.Program(253);
        case PFOStatus::Starting: return engine.texts.Program(252);
        case PFOStatus::ErrorStarting: return engine.texts.Program(enabled ? 124 : 118);
        case PFOStatus::Started: return engine.texts.Program(122);
        case PFOStatus::Stopped: return engine.texts.Program(118);
        case PFOStatus::ErrorStopping: return engine.texts.Program(123);
        case PFOStatus::Stopping: return engine.texts.Program(129);
    }
    return u"Invalid PFO Status Code";
}

}  // namespace qf
