// Self-extracting archives: recognised by name, opened whole or as the first
// volume of a split set, and made from an archive and a stub.
#include "ZEInternal.h"

#include <algorithm>
#include <memory>
#include <vector>

bool TZEBaseArchiver::IsSFXArchive(const WideString& name) {
  return ZEContains(ZELower(WideExtractFileExt(name)), L".exe");
}

bool TZEBaseArchiver::InternalOpenSFXArchive() {
  // Whole in the .exe: the directory ends the file.
  FVolumeState->SetLastVolume(true);
  OpenVolume(*FVolumeState);
  if (ReadEndRecord()) return true;
  // No directory in the .exe: it is the first volume of a split set, and the
  // last volume (the .ZIP beside it) holds the directory of every volume. A
  // directory rebuilt from this one volume would leave out everything after
  // it, so a set with a volume missing is refused.
  FSpanningMode = smSplitting;
  WideString last;
  bool cancel = false;
  DoOnRequestLastVolume(last, cancel);
  const bool lastThere =
      !cancel && WideFileExists(last) && WideExpandFileName(last) != WideExpandFileName(FFileName);
  if (lastThere) {
    ReopenFileStream(last);
    if (ReadEndRecord() && FDirManager->EndPosition >= 0 && FDirManager->LastDisk() > 0 &&
        FSpanningMode == smSplitting)
      return true;
    throw EZEException(45, this);
  }
  if (SplitVolumeExists(1)) throw EZEException(45, this);
  // No other volume under either naming: a self-extracting archive that lost
  // its directory, read as any damaged single file is.
  FSpanningMode = smNone;
  return false;
}

bool TZEBaseArchiver::FastFileAppend(TStream* dest, TStream* source, const WideString& fileName) {
  const int64_t total = source->Size();
  FPipeline.OverallTotal = total;
  FPipeline.OverallDone = 0;
  source->SetPosition(0);
  dest->Seek(int64_t(0), soEnd);
  bool cancel = false;
  auto report = [&](double percent, TZEProgressPhase phase) {
    if (!FPipeline.ProgressOn) return;
    DoOnFileProgress(fileName, percent, poMakeSFX, phase, cancel);
    if (!cancel) DoOnOverallProgress(percent, poMakeSFX, phase, cancel);
    if (cancel) FPipeline.Cancel = true;
  };
  report(0.0, ppStart);
  std::vector<uint8_t> buffer(1 << 20);
  while (!cancel && FPipeline.OverallDone < total) {
    report(ZEPercent(static_cast<double>(FPipeline.OverallDone), static_cast<double>(total)), ppProcess);
    if (cancel) break;
    const int32_t want = static_cast<int32_t>(std::min<int64_t>(total - FPipeline.OverallDone, 1 << 20));
    const int32_t got = source->Read(buffer.data(), want);
    if (got < want) return false;
    if (dest->Write(buffer.data(), got) < got) return false;
    FPipeline.OverallDone += got;
  }
  // A cancelled copy is not a whole archive.
  if (cancel) return false;
  report(100.0, ppEnd);
  return !cancel;
}

void TZEBaseArchiver::MakeSFX(const WideString& sfxFileName) {
  if (FSFXStub.IsEmpty()) throw EZEException(17, this);
  if (!WideFileExists(FSFXStub)) throw EZEException(18, {FSFXStub}, this);
  if (FSpanningMode != smNone) throw EZEException(49, this);
  if (InUpdate()) ForceUpdate();
  TUcFileStream stub(FSFXStub, fmOpenRead | fmShareDenyNone);
  // The archive as it lies on disk, read through a directory of its own: the
  // open component's directory stays as it is.
  std::unique_ptr<TStream> own;
  TStream* archive = FActive ? FArchiveStream : nullptr;
  if (!archive) {
    own.reset(new TUcFileStream(FFileName, fmOpenRead | fmShareDenyWrite));
    archive = own.get();
  }
  TZEDirManager source(archive, false, this);
  source.LoadDir();
  if (source.StubSize > 0) throw EZEException(50, this);
  std::unique_ptr<TUcFileStream> out;
  try {
    out.reset(new TUcFileStream(sfxFileName, fmCreate));
  } catch (const Exception&) {
    throw EZEException(19, {sfxFileName}, this);
  }
  bool done = false;
  try {
    out->CopyFrom(&stub, 0);
    const int64_t stubSize = out->Size();
    FPipeline = TPipeline();
    FPipeline.ProgressOn = true;
    if (!FastFileAppend(out.get(), archive, FFileName)) {
      if (FPipeline.Cancel) throw EZEException(46, this);
      throw EZEException(56, this);
    }
    // Every entry, folders and empty files included, now lies stubSize
    // further on: the directory is written again with the new positions.
    source.StubSize = stubSize;
    source.ApplyStubOffset();
    source.DirectoryStart += stubSize;
    source.SaveDir(false, out.get());
    if (FOptions->FlushBuffers && !FlushFileBuffers(out->Handle())) throw EZEException(56, this);
    done = true;
  } catch (...) {
    out.reset();
    // A self-extracting file is whole or not there.
    if (!done) WideDeleteFile(sfxFileName);
    throw;
  }
}
