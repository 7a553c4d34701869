// The fixed identifiers of the library: its type library, its creatable
// classes and their dispatch interfaces. The type library file
// (ZenolithCE.tlb) carries the same values; a test keeps the two in step.
#pragma once

#include "platform/com/Types.h"

namespace zenolith {

inline constexpr com::Guid LIBID_ZenolithCE = com::MakeGuid("10981833-0FEA-4187-81DC-4F43EF40B954");

inline constexpr com::CLSID CLSID_NmeaParser = com::MakeGuid("3A705FDC-6475-4F80-A254-FF7072A87966");
inline constexpr com::CLSID CLSID_NmeaSentence = com::MakeGuid("E703B486-AE88-4EAD-A411-2D57AFD19EBB");
inline constexpr com::CLSID CLSID_NmeaGGA = com::MakeGuid("62A8A0D7-5763-4281-8219-62E5854DAA21");
inline constexpr com::CLSID CLSID_NmeaGLL = com::MakeGuid("F6C96133-A2A0-4BB1-BC91-07F7D065A143");
inline constexpr com::CLSID CLSID_NmeaRMC = com::MakeGuid("0FDA182F-470E-44BD-BCD4-6A8CA5DEB1EB");
inline constexpr com::CLSID CLSID_Position = com::MakeGuid("7BC9B4B5-CE67-4D01-9AE8-384C7E0947EE");
inline constexpr com::CLSID CLSID_Satellites = com::MakeGuid("4B6791A8-789E-4F02-A465-DA814839B7F4");
inline constexpr com::CLSID CLSID_Satellite = com::MakeGuid("4DEFA300-CC66-404A-B14B-3A77E7E8AD4B");
inline constexpr com::CLSID CLSID_Movement = com::MakeGuid("371CCC68-90CE-4F09-A03E-3E9C33EDA376");
inline constexpr com::CLSID CLSID_Quality = com::MakeGuid("19DE0C59-578C-4B0A-B882-5FCA17FBDD26");
inline constexpr com::CLSID CLSID_GpsFix = com::MakeGuid("6D4FBBC6-18A3-4B5C-935D-D7723ADD0F08");
inline constexpr com::CLSID CLSID_ComStatus = com::MakeGuid("0EFD3141-B7E0-4B5B-A58D-1E164293B553");
inline constexpr com::CLSID CLSID_CustomGrid = com::MakeGuid("3523C795-7447-4CD0-B563-C259741375D3");
inline constexpr com::CLSID CLSID_CustomDatum = com::MakeGuid("363C1266-D6CF-4152-8598-3C5E37EF5127");

inline constexpr com::IID IID_INmeaParser = com::MakeGuid("EB12A741-C891-48C8-A466-34A95BE8FD1F");
inline constexpr com::IID IID__INmeaParserEvents = com::MakeGuid("4378605F-ABD4-4DDC-9110-6C841C759E0C");
inline constexpr com::IID IID_INmeaSentence = com::MakeGuid("D8002811-7D66-4C36-8B39-028479CF2F68");
inline constexpr com::IID IID_INmeaGGA = com::MakeGuid("956612FB-7837-4FC7-98D1-8C95501BFCAB");
inline constexpr com::IID IID_INmeaGLL = com::MakeGuid("C7C4C937-1DB5-4DDC-9884-B782CF3E4D1B");
inline constexpr com::IID IID_INmeaRMC = com::MakeGuid("B8CCE428-6643-413E-B8A5-3812AB28CBA9");
inline constexpr com::IID IID_IPosition = com::MakeGuid("AC6DB95B-FAE9-4B70-A9E2-D0C0DC846201");
inline constexpr com::IID IID_ISatellites = com::MakeGuid("FF65D776-FCF1-438A-9D15-B202E9F8F637");
inline constexpr com::IID IID_ISatellite = com::MakeGuid("3118B24D-67DD-4BB2-9D73-8BF6056A2A28");
inline constexpr com::IID IID_IMovement = com::MakeGuid("03584D42-75DF-4434-8294-93B685FE107D");
inline constexpr com::IID IID_IQuality = com::MakeGuid("350368CD-E9BB-4831-9DA5-CE10F0312081");
inline constexpr com::IID IID_IGpsFix = com::MakeGuid("D0B8E633-2869-4F51-A309-24DFAC8DAC0E");
inline constexpr com::IID IID_IComStatus = com::MakeGuid("E14616A8-4134-421D-8D6B-9F625813D9E3");
inline constexpr com::IID IID_ICustomGrid = com::MakeGuid("39E1E0C2-D1BE-42AD-B4D6-E00EE69DBD63");
inline constexpr com::IID IID_ICustomDatum = com::MakeGuid("7A155359-D3AC-412A-BD0D-55FF4D0A1C92");

}  // namespace zenolith
