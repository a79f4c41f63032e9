// HUD meter fill: the 2D draw passes its texture coordinates and colour through.
void main()
{
    gl_Position = ftransform();
    gl_TexCoord[0] = gl_MultiTexCoord0;
    gl_FrontColor = gl_Color;
}
