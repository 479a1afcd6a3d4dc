// Host calls the geometry links against, answering "no such model" until the host stand-in
// library provides them. Remove this file once libsaa defines these.
#include "saa/saa.h"

extern "C" {
int SAA_frame2Seconds(const SAA_Scene *, int, double *) { return SAA_ERR_ARGUMENT; }
int SAA_updatelistEvalScene(const SAA_Scene *, double) { return SAA_ERR_ARGUMENT; }
int SAA_modelGetMatrix(const SAA_Scene *, const SAA_Elem *, int, float[4][4]) {
    return SAA_ERR_ARGUMENT;
}
int SAA_modelGetTranslation(const SAA_Scene *, const SAA_Elem *, int, float *, float *, float *) {
    return SAA_ERR_ARGUMENT;
}
int SAA_modelGetScaling(const SAA_Scene *, const SAA_Elem *, int, float *, float *, float *) {
    return SAA_ERR_ARGUMENT;
}
}
