#pragma once

#include <array>
#include <string>
#include <vector>

namespace lithora {

// What the program knows of the card made current last. The card window, the printed card and
// the tools read only this; the loaders below write it.
struct CardState {
    // Set when a list row becomes current.
    int currentCardNumber = 0;
    int currentEntryIndex = 0;
    std::string currentName;    // the row's name; escape codes converted after loading
    std::string currentFormula; // the row's formula cell
    std::string lastSelection;  // upper-cased, trimmed name of the card current before

    // From the entry record.
    std::string currentRawName;
    std::string currentSpaceGroup;
    std::string currentCrystalClass;
    std::string currentDSpacingText;
    std::string currentIntensityText;
    std::string currentDIPairs;
    std::string currentLastUpdated;
    std::string currentStatus;
    std::string currentAppearance;
    std::string currentCompareWith;
    std::string currentCrystalSystemCode;
    std::string currentCrystalSystem;
    std::string currentGroup;
    std::string currentIcddNumber;
    std::string currentMohs;
    std::string currentNameReference;
    std::string currentNotes;
    std::string currentDensityCalculated;
    std::string currentDensityMeasured;
    std::string currentStrunzClass;
    std::string currentSynonym;
    std::string currentTypeLocality;
    std::string currentZ;
    std::string currentElements;
    std::string currentCell;
    std::string currentCellVolume;
    std::array<std::string, 8> currentDSpacings;   // each exactly 8 characters
    std::array<std::string, 8> currentIntensities; // each exactly 8 characters

    // From the references file: display texts in file order; at least 11 slots.
    std::vector<std::string> currentReferences = std::vector<std::string>(11);
    int currentReferenceCount = 0;

    // From the optical data file; empty when the card has none.
    std::string currentOpticalRecord;

    // Why the card's record could not be read, shown in place of the card; empty for a card
    // that was read.
    std::string unreadableMessage;
};

} // namespace lithora
