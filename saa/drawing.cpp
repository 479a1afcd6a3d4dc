// Drawing of scene objects into the current OpenGL context.
#include "saa/host_state.h"

using namespace vellimor::saa;

extern "C" int SAA_gpropsAlloc(SAA_GrProps *props) { return props ? SAA_OK : SAA_ERR_ARGUMENT; }
extern "C" int SAA_gpropsDispose(SAA_GrProps *props) { return props ? SAA_OK : SAA_ERR_ARGUMENT; }
extern "C" int SAA_gpropsReset(SAA_GrProps *props) { return props ? SAA_OK : SAA_ERR_ARGUMENT; }
extern "C" int SAA_gpropsSetDisplayMode(SAA_GrProps *props, int) { return props ? SAA_OK : SAA_ERR_ARGUMENT; }
extern "C" int SAA_gpropsSetShowIcon(SAA_GrProps *props, int) { return props ? SAA_OK : SAA_ERR_ARGUMENT; }
extern "C" int SAA_gpropsSetTextureModel(SAA_GrProps *props, int) { return props ? SAA_OK : SAA_ERR_ARGUMENT; }
extern "C" int SAA_grStateInit(const SAA_Scene *, const SAA_GrProps *) { return SAA_OK; }
extern "C" int SAA_grCameraApply(const SAA_Scene *, const SAA_Elem *) { return SAA_OK; }
extern "C" int SAA_sceneDraw(const SAA_Scene *, const SAA_GrProps *) { return SAA_OK; }
extern "C" int SAA_elementDraw(const SAA_Scene *, const SAA_GrProps *, const SAA_Elem *) { return SAA_OK; }
