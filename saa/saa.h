/* The host SDK stand-in: the SAA C API over a scene database on disk.
 *
 * Every operation returns 0 on success and a non-zero SAA_ERR_* code on failure.
 * Handles are passed by pointer. Matrices are 4x4 floats in the row-vector convention:
 * a point is transformed as (x, y, z, w)·M, so the translation sits in the last row.
 * Where an operation takes a global/local flag, 1 asks for the global (world) value.
 * The two evaluation selectors of the surface operations (0 or 2) are accepted and ignored.
 * Operations marked "host side" exist for the host programs and tests, not for the plug-in.
 * There is one current scene (SAA_sceneGetCurrent always succeeds) and at most one current
 * database; a zero scene or database handle (one never filled in, as after SAA_sceneInitInternal)
 * names the current one; loading a scene replaces the current scene's contents and makes older element
 * handles stale (SAA_elementIsValid reports 0, other operations SAA_ERR_INVALID). */
#ifndef SAA_SAA_H
#define SAA_SAA_H

#ifdef __cplusplus
extern "C" {
#endif

enum {
    SAA_OK = 0,
    SAA_ERR_ARGUMENT = 1,      /* null pointer, bad index, bad size */
    SAA_ERR_NOT_FOUND = 2,     /* no such database, scene, element or user data */
    SAA_ERR_INVALID = 3,       /* stale or wrong-kind handle */
    SAA_ERR_IO = 4,            /* file could not be read or written */
    SAA_ERR_FORMAT = 5,        /* malformed scene file */
    SAA_ERR_NO_SCENE = 6,      /* no current scene */
    SAA_ERR_NO_MEMORY = 7,
    SAA_ERR_EVAL = 8           /* evaluation outside what the element supports */
};

/* Model types as SAA_modelGetType reports them. */
enum {
    SAA_MODEL_NULL = 0,
    SAA_MODEL_PATCH = 1,
    SAA_MODEL_MESH = 2,
    SAA_MODEL_FORCE = 4,
    SAA_MODEL_NURBS = 10
};

typedef struct SAA_Database { unsigned int id; } SAA_Database;
typedef struct SAA_Scene { unsigned int id; } SAA_Scene;
/* An element: model, light, camera, mesh polygon or control vertex. Plain value; its fields are
 * the stand-in's own business. */
typedef struct SAA_Elem { unsigned int kind, id, sub, serial; } SAA_Elem;
typedef struct SAA_GrProps { unsigned int id; } SAA_GrProps;
/* The host's custom-effect context; only its state is read by the plug-in. */
typedef struct SAA_CustomContext { int state; } SAA_CustomContext;

/* ---- start-up ---- */
int SAA_InitInternal(const char *resource_path, int flags, const char *sdk_version);
int SAA_sceneInitInternal(const char *sdk_version);

/* ---- database and scene ---- */
int SAA_databaseLoad(const char *path, SAA_Database *database);
int SAA_databaseGetCurrent(SAA_Database *database, int flags);
int SAA_databaseGetPathLength(const SAA_Database *database, int *length);
int SAA_databaseGetPath(const SAA_Database *database, int max_length, char *path);
int SAA_sceneLoad(const SAA_Database *database, const char *name, SAA_Scene *scene);
int SAA_sceneGetCurrent(SAA_Scene *scene);
/* Writes SCENES/<scene name>.dsc atomically (the old file stays intact when the write fails),
 * with every model, key and user-data block. */
int SAA_sceneSave(const SAA_Database *database, const SAA_Scene *scene);
/* Empties the scene: no models or lights, one default camera, default play control. */
int SAA_sceneClear(const SAA_Scene *scene);
int SAA_sceneGetNameLength(const SAA_Scene *scene, int *length);
int SAA_sceneGetName(const SAA_Scene *scene, int max_length, char *name);
int SAA_sceneGetPrefixLength(const SAA_Scene *scene, int *length);
int SAA_sceneGetPrefix(const SAA_Scene *scene, int max_length, char *prefix);
int SAA_sceneSetPrefix(const SAA_Scene *scene, const char *prefix);

/* ---- play control, render control, time ---- */
int SAA_sceneGetPlayCtrlStartFrame(const SAA_Scene *scene, int *frame);
int SAA_sceneGetPlayCtrlEndFrame(const SAA_Scene *scene, int *frame);
int SAA_sceneGetPlayCtrlFrameStep(const SAA_Scene *scene, int *step);
int SAA_sceneGetPlayCtrlFrameRate(const SAA_Scene *scene, float *frames_per_second);
int SAA_sceneGetPlayCtrlCurrentFrame(const SAA_Scene *scene, int *frame);
int SAA_sceneSetPlayCtrlCurrentFrame(const SAA_Scene *scene, int frame); /* host side */
int SAA_sceneGetRenCtrlXRes(const SAA_Scene *scene, int *xres);
int SAA_sceneGetRenCtrlYRes(const SAA_Scene *scene, int *yres);
/* seconds = frame / frame rate (frame 0 is time 0). */
int SAA_frame2Seconds(const SAA_Scene *scene, int frame, double *seconds);
int SAA_updatelistGet(const SAA_Scene *scene);
/* Evaluates every animated transform at the given time (any real number of seconds, frame =
 * seconds × frame rate, keys interpolated continuously); model queries answer for that time.
 * Loading a scene evaluates it at its current frame. */
int SAA_updatelistEvalScene(const SAA_Scene *scene, double seconds);

/* ---- contents ---- */
int SAA_sceneGetNbModels(const SAA_Scene *scene, int *count);
int SAA_sceneGetModels(const SAA_Scene *scene, int count, SAA_Elem *models);
int SAA_sceneGetNbLights(const SAA_Scene *scene, int *count);
int SAA_sceneGetLights(const SAA_Scene *scene, int count, SAA_Elem *lights);
int SAA_sceneGetNbCameras(const SAA_Scene *scene, int *count);
int SAA_sceneGetCameras(const SAA_Scene *scene, int count, SAA_Elem *cameras);

/* ---- elements and models ----
 * Models have no hierarchy: global and local matrices, translations and scalings are the same.
 * The matrix is S·Rx·Ry·Rz·T (scaling, rotation about X, Y, Z in degrees, translation). */
int SAA_modelGetType(const SAA_Scene *scene, const SAA_Elem *model, int *type);
int SAA_elementGetNameLength(const SAA_Scene *scene, const SAA_Elem *element, int *length);
int SAA_elementGetName(const SAA_Scene *scene, const SAA_Elem *element, int max_length, char *name);
int SAA_elementSetName(const SAA_Scene *scene, const SAA_Elem *element, const char *name);
int SAA_elementIsValid(const SAA_Scene *scene, const SAA_Elem *element, int *valid);
int SAA_modelGetMatrix(const SAA_Scene *scene, const SAA_Elem *model, int global, float matrix[4][4]);
int SAA_modelGetTranslation(const SAA_Scene *scene, const SAA_Elem *model, int global,
                            float *x, float *y, float *z);
int SAA_modelGetScaling(const SAA_Scene *scene, const SAA_Elem *model, int global,
                        float *x, float *y, float *z);
int SAA_modelGetRotation(const SAA_Scene *scene, const SAA_Elem *model, int global,
                         float *x, float *y, float *z); /* host side; degrees */
int SAA_modelIsAnimated(const SAA_Scene *scene, const SAA_Elem *model, int *animated); /* host side */

/* ---- surfaces ----
 * Parameter extents: patch surfaces 0..extent per direction, by patch type (0 linear: n-1+closed,
 * 1 Bezier: trunc((n-1)/3.0+0.5), 2 B-spline and 3 cardinal: n-3 open, n closed), each unit of
 * parameter one segment; NURBS surfaces the knot range (knot vectors are complete, count +
 * degree + 1 knots, and start at 0, so 0..last knot). Parameters outside are clamped (wrapped
 * for closed patch directions); non-finite ones give SAA_ERR_EVAL. Results are exact and in the
 * model's local space. */
int SAA_patchGetType(const SAA_Scene *scene, const SAA_Elem *model, int *type_u, int *type_v);
int SAA_patchGetNbVertices(const SAA_Scene *scene, const SAA_Elem *model, int *nb_u, int *nb_v);
int SAA_patchGetClosed(const SAA_Scene *scene, const SAA_Elem *model, short *closed_u, short *closed_v);
int SAA_nurbsSurfaceGetNbKnots(const SAA_Scene *scene, const SAA_Elem *model, int *nb_u, int *nb_v);
int SAA_nurbsSurfaceGetKnots(const SAA_Scene *scene, const SAA_Elem *model, int start_u, int start_v,
                             int nb_u, int nb_v, double *knots_u, double *knots_v);
int SAA_nurbsSurfaceGetClosed(const SAA_Scene *scene, const SAA_Elem *model, short *closed_u,
                              short *closed_v);
int SAA_nurbsSurfaceGetDegrees(const SAA_Scene *scene, const SAA_Elem *model, int *degree_u,
                               int *degree_v); /* host side */
/* Homogeneous point (w·x, w·y, w·z, w); the caller divides by w. */
int SAA_surfaceEvalPosition(const SAA_Scene *scene, const SAA_Elem *model, int selector1,
                            int selector2, double u, double v, double position[4]);
/* Unit normal, the normalised cross product of the u and v tangents (at a pole, where the
 * tangents are parallel, that of a point a tiny step inside the surface). */
int SAA_surfaceEvalNormal(const SAA_Scene *scene, const SAA_Elem *model, int selector1, int selector2,
                          double u, double v, double normal[3]);
/* Partial derivatives of the (projected) position by u and by v. */
int SAA_surfaceEvalTangents(const SAA_Scene *scene, const SAA_Elem *model, int selector1,
                            int selector2, double u, double v, double tangent_u[3],
                            double tangent_v[3]);

/* ---- user data: named byte blocks per model ----
 * AllocUserData gives the stored block: its size, whether its byte order differs from this
 * machine's (swap flag 1) and a pointer to the stored bytes, owned by the host and valid until
 * the block is set or destroyed or the scene changes. An absent block gives size 0, a null
 * pointer and SAA_OK. SetUserData copies the bytes and records them in this machine's order.
 * Destroying an absent block succeeds. */
int SAA_modelAllocUserData(const SAA_Scene *scene, const SAA_Elem *model, const char *name, int *size,
                           short *swap_flag, void **data);
int SAA_modelSetUserData(const SAA_Scene *scene, const SAA_Elem *model, const char *name, int size,
                         int flags, const void *data);
int SAA_modelDestroyUserData(const SAA_Scene *scene, const SAA_Elem *model, const char *name);
/* Host side: the model's blocks in name order; and marking a stored block as written by a
 * machine of the given order (1 big-endian, 0 little-endian). */
int SAA_modelGetNbUserData(const SAA_Scene *scene, const SAA_Elem *model, int *count);
int SAA_modelGetUserDataInfo(const SAA_Scene *scene, const SAA_Elem *model, int index, int max_length,
                             char *name, int *size);
int SAA_modelSetUserDataOrder(const SAA_Scene *scene, const SAA_Elem *model, const char *name,
                              int big_endian);

/* ---- lights ---- */
int SAA_lightGetPosition(const SAA_Scene *scene, const SAA_Elem *light, float position[3]);
int SAA_lightGetColor(const SAA_Scene *scene, const SAA_Elem *light, float color[3]);
int SAA_lightGetShadow(const SAA_Scene *scene, const SAA_Elem *light, float *intensity);
int SAA_lightGetShadowType(const SAA_Scene *scene, const SAA_Elem *light, int *type);
int SAA_lightGetStart(const SAA_Scene *scene, const SAA_Elem *light, float *distance);
int SAA_lightGetEnd(const SAA_Scene *scene, const SAA_Elem *light, float *distance);

/* ---- cameras ---- field of view is vertical, in degrees */
int SAA_cameraGetPosition(const SAA_Scene *scene, const SAA_Elem *camera, float position[3]);
int SAA_cameraGetInterest(const SAA_Scene *scene, const SAA_Elem *camera, float interest[3]);
int SAA_cameraGetFieldOfView(const SAA_Scene *scene, const SAA_Elem *camera, float *degrees);
int SAA_cameraGetNear(const SAA_Scene *scene, const SAA_Elem *camera, float *distance);
int SAA_cameraGetFar(const SAA_Scene *scene, const SAA_Elem *camera, float *distance);
int SAA_cameraGetAspectRatio(const SAA_Scene *scene, const SAA_Elem *camera, float *aspect);
int SAA_cameraSetAspectRatio(const SAA_Scene *scene, const SAA_Elem *camera, float aspect);
/* Camera moves (world Y is up): orbit turns the eye about the interest by dx radians about the
 * up axis and dy radians of elevation; pan slides eye and interest by dx right and dy up, in
 * units of the eye-interest distance (the second pair is ignored); dolly moves the eye towards
 * the interest by that fraction of the distance; zoom narrows the field of view by that many
 * degrees (negative widens); fit keeps the view direction and frames the scene or element. */
int SAA_cameraOrbit(const SAA_Scene *scene, const SAA_Elem *camera, float dx, float dy);
int SAA_cameraPan(const SAA_Scene *scene, const SAA_Elem *camera, float dx, float dy, float dx2,
                  float dy2);
int SAA_cameraDolly(const SAA_Scene *scene, const SAA_Elem *camera, float distance);
int SAA_cameraZoom(const SAA_Scene *scene, const SAA_Elem *camera, float factor);
int SAA_cameraFitScene(const SAA_Scene *scene, const SAA_Elem *camera, int flags);
int SAA_cameraFitElement(const SAA_Scene *scene, const SAA_Elem *camera, const SAA_Elem *element);

/* ---- drawing into the current OpenGL context ----
 * Host display modes of the graphics properties: 0 wireframe, 1 depth only (no colour written),
 * 2 shaded by each element's wire type (lit by the scene's lights, or a headlight without any),
 * 3 matte (black with alpha 0, depth written). Surfaces are tessellated, meshes drawn with their
 * vertex colours, nulls as their three axes (scaled), lights as small crosses (SAA_elementDraw
 * of a light). Drawing uses the matrices loaded by SAA_grCameraApply and restores every OpenGL
 * state it changes; SAA_grStateInit only checks its arguments. Depth is compared "less or equal",
 * so an element drawn depth only and then shaded or matte shows; matte replaces colour and alpha
 * even when blending is on. */
int SAA_gpropsAlloc(SAA_GrProps *props);
int SAA_gpropsDispose(SAA_GrProps *props);
int SAA_gpropsReset(SAA_GrProps *props);
int SAA_gpropsSetDisplayMode(SAA_GrProps *props, int mode);
int SAA_gpropsSetShowIcon(SAA_GrProps *props, int show);
int SAA_gpropsSetTextureModel(SAA_GrProps *props, int model);
int SAA_grStateInit(const SAA_Scene *scene, const SAA_GrProps *props);
/* Loads the projection (perspective from fov, aspect, near, far) and the model-view (look from
 * the camera position at its interest) matrices. */
int SAA_grCameraApply(const SAA_Scene *scene, const SAA_Elem *camera);
int SAA_sceneDraw(const SAA_Scene *scene, const SAA_GrProps *props);
int SAA_elementDraw(const SAA_Scene *scene, const SAA_GrProps *props, const SAA_Elem *element);
int SAA_elementGetWireType(const SAA_Scene *scene, const SAA_Elem *element, int *wire_type);
int SAA_elementSetWireType(const SAA_Scene *scene, const SAA_Elem *element, int wire_type);

/* ---- polygon meshes ----
 * Positions and normals carry 4 doubles per vertex (x, y, z, spare); colours 4 bytes (R, G, B, A).
 * Polygons and their control vertices come back in the order they were given. A control vertex
 * is a polygon corner; a colour or normal set on it goes to the vertex that corner uses.
 * A created mesh is a model of type 2 named "mesh"; editing keeps its handle. */
int SAA_meshCreate(const SAA_Scene *scene, int nb_vertices, const double *positions, int nb_polygons,
                   const int *polygon_sizes, const int *indices, SAA_Elem *mesh);
int SAA_meshEditExtended(const SAA_Scene *scene, const SAA_Elem *mesh, int nb_vertices,
                         const double *positions, int nb_polygons, const int *polygon_sizes,
                         const int *indices);
int SAA_meshGetNbPolygons(const SAA_Scene *scene, const SAA_Elem *mesh, int *count);
int SAA_meshGetPolygons(const SAA_Scene *scene, const SAA_Elem *mesh, int count, SAA_Elem *polygons);
int SAA_polygonGetNbCtrlVertices(const SAA_Scene *scene, const SAA_Elem *polygon, int *count);
int SAA_polygonGetCtrlVertices(const SAA_Scene *scene, const SAA_Elem *polygon, int count,
                               SAA_Elem *ctrl_vertices);
int SAA_polyCtrlVertexSetColors(const SAA_Scene *scene, const SAA_Elem *mesh, int count,
                                const SAA_Elem *ctrl_vertices, const unsigned char *rgba);
int SAA_ctrlVertexSetNormals(const SAA_Scene *scene, const SAA_Elem *mesh, int count,
                             const SAA_Elem *ctrl_vertices, const double *normals);
/* Writes a mesh as binary PLY (x y z nx ny nz red green blue alpha per vertex, faces) to
 * MODELS/<name>.ply of the current database, under its element name or the given name. A given
 * name containing '/' is a file path of its own; a ".hrc" ending becomes ".ply". Atomic. */
int SAA_elementSave(const SAA_Scene *scene, const SAA_Elem *element);
int SAA_elementSaveAs(const SAA_Scene *scene, const SAA_Elem *element, const char *name);
/* Removes a model (any type) from the scene. */
int SAA_elementDestroy(const SAA_Scene *scene, const SAA_Elem *element);

/* ---- interface ---- */
int SAA_statusBarSet(const char *text, int flags);
int SAA_statusBarGet(int max_length, char *text); /* host side */
int SAA_selectlistClear(const SAA_Scene *scene);
int SAA_selectlistSetElements(const SAA_Scene *scene, int flags, int count, const SAA_Elem *elements);
int SAA_selectlistGetElements(const SAA_Scene *scene, int max_count, SAA_Elem *elements,
                              int *count); /* host side */
int SAA_customContextGetState(const SAA_CustomContext *context, int *state);

/* ---- host side: diagnostics and tests ---- */
/* The reason for the last failure (e.g. "/db/SCENES/a.dsc: models[2].type: expected an
 * integer"); truncated to fit. */
int SAA_hostGetLastError(int max_length, char *text);
/* Scene and model file writes fail after this many bytes (negative: never), to test that a
 * failed save leaves the old file intact. */
int SAA_hostFailWritesAfter(long long bytes);
int SAA_hostGetEvalTime(const SAA_Scene *scene, double *seconds);

#ifdef __cplusplus
}
#endif
#endif
